#!/usr/bin/env bash
# Installs what building and testing need, and does nothing when all is there.
set -euo pipefail
packages=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
          mingw-w64-tools wine wine64 libwine wine32:i386 xvfb x11-apps imagemagick xdotool googletest cmake
          python3 iproute2 procps fonts-wine nsis)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
# The real browsers of the extension's tests: those tests are skipped where these cannot be had.
optional=(chromium firefox-esr)
missing_optional=()
for p in "${optional[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing_optional+=("$p")
done
if [ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ]; then
  exit 0
fi
here="$(cd "$(dirname "$0")" && pwd)"
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  # The 32-bit Wine needs the i386 architecture.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  installed=0
  "$here/apt-install" "${missing[@]}" && installed=1
  export APT_LISTS_READ=1
  if [ $installed = 0 ]; then
    # Without the 32-bit Wine this is a machine that cannot run 32-bit
    # programs: everything is built, and the tests run their x86_64 half.
    rest=()
    for p in "${missing[@]}"; do [ "$p" = wine32:i386 ] || rest+=("$p"); done
    [ ${#rest[@]} -lt ${#missing[@]} ] || exit 1
    echo "setup: wine32:i386 could not be installed; trying without it (the 32-bit tests will be left out)"
    [ ${#rest[@]} -eq 0 ] || "$here/apt-install" "${rest[@]}"
  fi
fi
if [ ${#missing_optional[@]} -gt 0 ]; then
  echo "setup: installing ${missing_optional[*]} (for the browser tests)"
  "$here/apt-install" "${missing_optional[@]}" ||
    echo "setup: ${missing_optional[*]} could not be installed; the browser tests will be skipped"
fi
