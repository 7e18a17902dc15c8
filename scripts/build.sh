#!/usr/bin/env bash
# Configures and builds both architectures: build/i686 (what ships) and build/x86_64.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
for arch in i686 x86_64; do
  cmake -S "$root" -B "$root/build/$arch" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$root/build/$arch" -j"$(nproc)"
done
