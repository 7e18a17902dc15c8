#!/usr/bin/env bash
# Configures and builds both architectures: build/i686 (what ships) and build/x86_64.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
for arch in i686 x86_64; do
  cmake -S "$root" -B "$root/build/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build/$arch" -j"$(nproc)"
done
# Two Setups, both with the 32-bit add-in for 32-bit browsers and the 64-bit one for 64-bit
# browsers: Setup.exe from the shipping i686 programs (every Windows), Setup64.exe from the
# x86_64 programs (64-bit Windows). The wizard goes in when it has been built.
mkdir -p "$root/build/installer"
for arch in i686 x86_64; do
  wizard=()
  [ -f "$root/build/$arch/wizard/Kestane.exe" ] && wizard=(-DWIZARDDIR="$root/build/$arch/wizard")
  if [ $arch = i686 ]; then target=x86 out=Setup.exe; else target=amd64 out=Setup64.exe; fi
  makensis -V2 -DARCH=$target -DAPPDIR="$root/build/$arch/app" -DBREVLET32="$root/build/i686/app/Brevlet.dll" \
           -DBREVLET64="$root/build/x86_64/app/Brevlet.dll" "${wizard[@]}" \
           -DOUTFILE="$root/build/installer/$out" "$root/installer/Quarrow.nsi"
done
# The browser extension: folders to load unpacked, and their zips.
python3 "$root/scripts/build_extension.py" "$root/build/extension"
