#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor on the bundled demo library.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
"$root/scripts/setup-deps.sh"
"$root/scripts/build.sh"
cd "$root/demo"   # the program finds its library in zorvik/ under the current directory
exec "$root/build/bin/zorvik-halden" "$@"
