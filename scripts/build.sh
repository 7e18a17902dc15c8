#!/usr/bin/env bash
# Configures and builds both architectures: build/i686 (what ships) and build/x86_64.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
for arch in i686 x86_64; do
  cmake -S "$root" -B "$root/build/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build/$arch" -j"$(nproc)"
done
# Setup.exe from the shipping i686 programs, with the x86_64 add-in for 64-bit browsers.
# The wizard goes in when it has been built.
wizard=()
[ -f "$root/build/i686/wizard/Kestane.exe" ] && wizard=(-DWIZARDDIR="$root/build/i686/wizard")
mkdir -p "$root/build/installer"
makensis -V2 -DAPPDIR="$root/build/i686/app" -DAPPDIR64="$root/build/x86_64/app" "${wizard[@]}" \
         -DOUTFILE="$root/build/installer/Setup.exe" "$root/installer/Quarrow.nsi"
# The browser extension: folders to load unpacked, and their zips.
python3 "$root/scripts/build_extension.py" "$root/build/extension"
