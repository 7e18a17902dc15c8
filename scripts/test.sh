#!/usr/bin/env bash
# Sets up, builds both architectures and runs every test.
#   scripts/test.sh [CTEST ARGS...]     e.g. scripts/test.sh -R client_net
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ "$(id -u)" = 0 ] || { echo "test.sh: network namespaces and port 80 need root" >&2; exit 1; }
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
cd "$root/build/x86_64"
status=0
ctest --output-on-failure -j2 "$@" || status=$?
# The shipping 32-bit build runs all its unit-test programs (label "unit")
# where the machine can run 32-bit programs (QUARROW_NO32=1 acts as if it could not).
if [ $# -eq 0 ]; then
  if python3 "$root/tests/support/nsrun.py" --can-run-32bit; then
    cd "$root/build/i686"
    ctest --output-on-failure -j2 -L '^unit$' || status=$?
  else
    echo "test.sh: this machine cannot run 32-bit programs${QUARROW_NO32:+ (QUARROW_NO32 is set)}; the i686 build was compiled, its tests not run"
  fi
fi
exit $status
