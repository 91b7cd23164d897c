#!/usr/bin/env bash
# Runs the fault-sequence test with random seeds for longer than CTest does.
#   scripts/fault-sequences.sh [MINUTES] [STEPS]     (default 10 minutes, 30 steps a seed)
# Builds into build/ first. Every seed is printed; a failing one is rerun with
#   VELMORA_SEQ_SEEDS=<seed> VELMORA_SEQ_STEPS=<steps> build/tests/tst_fault_sequences
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=${1:-10}
steps=${2:-30}
"$root/scripts/build.sh" "$root/build" >/dev/null
end=$(( $(date +%s) + 60 * minutes ))
runs=0
while [ "$(date +%s)" -lt "$end" ]; do
  runs=$((runs + 1))
  log=$(mktemp)
  status=0
  QT_QPA_PLATFORM=offscreen VELMORA_SEQ_SEEDS=random:5 VELMORA_SEQ_STEPS="$steps" \
    "$root/build/tests/tst_fault_sequences" >"$log" 2>&1 || status=$?
  grep -E 'fault sequence seed|FAIL|Totals|stalled|did not finish' "$log" || true
  if [ "$status" != 0 ]; then
    echo "fault sequences failed (batch $runs); the whole output is in $log"
    exit 1
  fi
  rm -f "$log"
done
echo "fault sequences: $((runs * 5)) random seeds of $steps steps passed in $minutes minutes"
