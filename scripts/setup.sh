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
export DEBIAN_FRONTEND=noninteractive
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  # The 32-bit Wine needs the i386 architecture.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
if [ ${#missing_optional[@]} -gt 0 ]; then
  echo "setup: installing ${missing_optional[*]} (for the browser tests)"
  [ ${#missing[@]} -gt 0 ] || apt-get update -qq || true
  apt-get install -y -qq --no-install-recommends "${missing_optional[@]}" >/dev/null ||
    echo "setup: ${missing_optional[*]} could not be installed; the browser tests will be skipped"
fi
