#!/usr/bin/env bash
# Installs, builds and starts Velmora. Without --port it offers the built-in simulated drive
# (On-Line, Confirm, "Simulated VD-840", OK). Arguments are passed on (--port DEVICE, --simulate).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh" "$root/build" >&2
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display here. Velmora is a window: run it on a desktop, or on a virtual display with" >&2
  echo "  xvfb-run -a build/src/velmora" >&2
  echo "Meanwhile, the command-line front end reading the simulated drive's status:" >&2
  exec "$root/build/src/velmora-cli" status
fi
exec "$root/build/src/velmora" "$@"
