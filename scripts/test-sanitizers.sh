#!/usr/bin/env bash
# Builds the whole project with AddressSanitizer and UndefinedBehaviorSanitizer into
# build-asan/ and runs every test there; any report fails the run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/bootstrap.sh"
"$root/scripts/build.sh" "$root/build-asan" -DVELMORA_SANITIZE=ON
cd "$root/build-asan"
export ASAN_OPTIONS=detect_leaks=1:halt_on_error=1:abort_on_error=1
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 --timeout 600
