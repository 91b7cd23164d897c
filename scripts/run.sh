#!/usr/bin/env bash
# Installs, builds and runs Velmora. Without a device it talks to the built-in simulated drive;
# arguments are passed on (e.g. --port /dev/ttyUSB0, or a command: status, read 100 20).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh" "$root/build" >&2
args=("$@")
[ ${#args[@]} -eq 0 ] && args=(status)
exec "$root/build/src/velmora-cli" "${args[@]}"
