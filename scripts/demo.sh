#!/usr/bin/env bash
# Sets up, builds, and runs Quarrow against the stand-in server, or with "kestane" the set-up
# wizard against a simulated new server (see demo.py).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
exec python3 "$root/scripts/demo.py" "$@"
