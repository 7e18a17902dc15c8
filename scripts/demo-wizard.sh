#!/usr/bin/env bash
# Sets up, builds, and runs the set-up wizard against a simulated new server (see demo_wizard.py).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup.sh"
"$root/scripts/build.sh"
exec python3 "$root/scripts/demo_wizard.py" "$@"
