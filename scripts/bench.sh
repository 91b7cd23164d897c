#!/usr/bin/env bash
# Builds Velmora, runs every benchmark and writes docs/performance.md with their figures, the
# machine they ran on and the date. Takes about ten minutes on two cores, the build aside.
#
#   scripts/bench.sh [BUILD_DIR]      (default build/)
#
# BENCH_QUICK=1 runs every benchmark briefly (a check of the script, not figures to keep);
# BENCH_OUT=FILE writes the report elsewhere; BENCH_SKIP_BUILD=1 uses the programs already
# built. The raw output of each benchmark is kept in BUILD_DIR/bench/logs/. Benchmarks print
# numbers; nothing here fails on timing.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build}
out=${BENCH_OUT:-$root/docs/performance.md}
quick=${BENCH_QUICK:-0}

if [ "${BENCH_SKIP_BUILD:-0}" != 1 ]; then
  "$root/scripts/bootstrap.sh" || exit 1
  "$root/scripts/build.sh" "$build" >&2 || exit 1
fi

bin=$build/bench
load_start=$(cut -d' ' -f1-3 /proc/loadavg)
logs=$bin/logs
mkdir -p "$logs"
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}

if [ "$quick" = 1 ]; then
  exchange_rounds=500 poll_seconds=1 startup_runs=2
  soak_args=(--polls 2000 --shown-samples 1000 --samples 3000 --wire-seconds 1 --time-limit 60)
else
  exchange_rounds=5000 poll_seconds=5 startup_runs=5
  # Each soak part stops after five minutes and reports what it ran.
  soak_args=(--polls 100000 --shown-samples 20000 --samples 1000000 --wire-seconds 5 --time-limit 300)
fi

# run NAME ARGS...: runs bench/NAME, its output to logs/NAME.txt; records the exit status.
declare -A status
run() {
  local name=$1
  shift
  echo "== $name $*" >&2
  local started=$SECONDS
  "$bin/$name" "$@" >"$logs/$name.txt" 2>"$logs/$name.err"
  status[$name]=$?
  echo "   exit ${status[$name]}, $((SECONDS - started)) s" >&2
}

run bench_exchange "$exchange_rounds"
run bench_poll "$poll_seconds"
run bench_chart
run bench_scan
run bench_soak "${soak_args[@]}"
# Start-up again, a few times: one cold figure alone says little on a busy machine.
startups=()
for i in $(seq 1 "$startup_runs"); do
  v=$("$bin/bench_poll" 1 2>/dev/null | sed -nE 's/^Start-up to the main window shown.*: ([0-9.]+) ms.*/\1/p')
  [ -n "$v" ] && startups+=("$v")
done

# ---- reading the outputs ----

na=n/a
# first capture of a sed -E expression over a log, or n/a
grab() { # FILE REGEX-WITH-ONE-GROUP
  local v
  v=$(sed -nE "s/$2/\1/p" "$logs/$1.txt" 2>/dev/null | head -n1)
  echo "${v:-$na}"
}
# the number after WORD on the first line matching the extended regular expression LINE
after() { # FILE LINE WORD
  local v
  v=$(grep -E -m1 -- "$2" "$logs/$1.txt" 2>/dev/null | awk -v w="$3" '{ for (i = 1; i < NF; i++) if ($i == w) { print $(i + 1); exit } }')
  v=${v%,}
  echo "${v:-$na}"
}
soak() { # KEY
  local v
  v=$(sed -nE "s/^SOAK_$1=(.*)$/\1/p" "$logs/bench_soak.txt" 2>/dev/null | head -n1)
  echo "${v:-$na}"
}
# awk arithmetic on figures that may be n/a: calc FORMAT EXPRESSION VALUES...
calc() {
  local fmt=$1 expr=$2
  shift 2
  for v in "$@"; do
    [[ "$v" =~ ^-?[0-9.]+$ ]] || { echo "$na"; return; }
  done
  awk -v fmt="$fmt" "BEGIN { a = \"$1\"; b = \"${2:-0}\"; c = \"${3:-0}\"; d = \"${4:-0}\"; printf fmt, $expr }"
}

# a row of the goals table: goal TEXT FIGURE OP LIMIT [UNIT]
goal() {
  local met=$na
  if [[ "$2" =~ ^[-+]?[0-9.]+$ && "$4" =~ ^[0-9.]+$ ]]; then
    met=$(awk -v a="$2" -v b="$4" -v op="$3" 'BEGIN {
      ok = (op == "<=") ? a <= b : (op == "<") ? a < b : (op == ">=") ? a >= b : a > b
      print ok ? "yes" : "**no**" }')
  fi
  echo "| $1 | $2${5:-} | $met |"
}

# Wire time of one exchange or chart sample (8-byte request, 65-byte reply), 10 bits a byte.
wire_us() { awk -v b="$1" 'BEGIN { printf "%.0f", 73 * 10 * 1e6 / b }'; }
wire9600=$(wire_us 9600)
wire57600=$(wire_us 57600)

# exchange
ex_rounds=$(grab bench_exchange '^Exchange:.* ([0-9]+) rounds each.*')
ex_min_med=$(after bench_exchange "^minimal loop" median)
ex_min_p99=$(after bench_exchange "^minimal loop" p99)
ex_min_mean=$(after bench_exchange "^minimal loop" mean)
ex_ui_med=$(after bench_exchange "^Velmora link, user-interface thread" median)
ex_ui_p99=$(after bench_exchange "^Velmora link, user-interface thread" p99)
ex_ui_mean=$(after bench_exchange "^Velmora link, user-interface thread" mean)
ex_wk_med=$(after bench_exchange "^Velmora link, worker thread" median)
ex_wk_p99=$(after bench_exchange "^Velmora link, worker thread" p99)
ex_wk_mean=$(after bench_exchange "^Velmora link, worker thread" mean)
pc_med=$(after bench_exchange "^poll cycle " median)
pc_p99=$(after bench_exchange "^poll cycle " p99)
pc_bytes=$(grab bench_exchange '^wire time of its ([0-9]+) bytes.*')
pc_wire=$(grab bench_exchange '^wire time of its [0-9]+ bytes: ([0-9.]+) us.*')
pc_ratio=$(grab bench_exchange '.*cycle\/wire \(median\) ([0-9.]+);.*')
pc_pct=$(grab bench_exchange '.*\(([0-9.]+)% of the wire limit\).*')

# poll and start-up
startup=$(grab bench_poll '^Start-up to the main window shown.*: ([0-9.]+) ms.*')
poll_row() { # BAUD FIELD(1 rate, 2 wire rate, 3 bytes, 4 percent)
  local v
  v=$(sed -nE "s/^ *$1 baud: +([0-9.]+) cycles\/s; the wire allows +([0-9.]+) for ([0-9]+) bytes a cycle: +([0-9.]+)%.*/\\$2/p" \
    "$logs/bench_poll.txt" 2>/dev/null | head -n1)
  echo "${v:-$na}"
}
poll_min() { # BAUD FIELD(1 minimal cycles/s, 2 poller/minimal)
  local v
  v=$(sed -nE "s/^ *$1 baud: minimal client +([0-9.]+) cycles\/s on the same simulator; poller\/minimal ([0-9.]+).*/\\$2/p" \
    "$logs/bench_poll.txt" 2>/dev/null | head -n1)
  echo "${v:-$na}"
}
startup_sorted=$(printf '%s\n' "${startups[@]}" | sort -g)
startup_min=$(echo "$startup_sorted" | head -n1)
startup_med=$(echo "$startup_sorted" | awk '{ v[NR] = $1 } END { if (NR) print v[int((NR + 1) / 2)] }')
startup_max=$(echo "$startup_sorted" | tail -n1)

# chart: rows of "points | append (x) max | live (x) | whole (x) | bytes heap"
chart_row() { # POINTS
  local v
  v=$(awk -F'|' -v p="$1" '$1 + 0 == p && $1 ~ /[0-9]/ { gsub(/[()|]/, " "); $1 = $1; print; exit }' \
    "$logs/bench_chart.txt" 2>/dev/null)
  echo "${v:-$na $na $na $na $na $na $na $na $na $na}"
}

# ---- the report ----

cpu=$(sed -nE 's/^model name\s*:\s*(.*)/\1/p' /proc/cpuinfo | head -n1)
cores=$(nproc)
ram=$(awk '/^MemTotal:/ { printf "%.1f GiB", $2 / 1048576 }' /proc/meminfo)
kernel="$(uname -sr)"
debian=$(cat /etc/debian_version 2>/dev/null || echo unknown)
qt=$(dpkg-query -W -f='${Version}' libqt6core6 2>/dev/null || echo unknown)
compiler=$(c++ --version 2>/dev/null | head -n1)
build_type=$(sed -nE 's/^CMAKE_BUILD_TYPE:STRING=(.*)/\1/p' "$build/CMakeCache.txt")
commit=$(git -C "$root" rev-parse --short HEAD 2>/dev/null || echo unknown)
[ -n "$(git -C "$root" status --porcelain 2>/dev/null)" ] && commit="$commit (with uncommitted changes in the working tree)"
date=$(date -u '+%Y-%m-%d %H:%M UTC')
load=$(cut -d' ' -f1-3 /proc/loadavg)

failed=""
for name in bench_exchange bench_poll bench_chart bench_scan bench_soak; do
  [ "${status[$name]:-1}" = 0 ] || failed="$failed $name (exit ${status[$name]:-?})"
done

tmp=$(mktemp "$out.XXXXXX")
{
  echo "# Performance"
  echo
  echo "Written by \`scripts/bench.sh\` on $date from commit $commit."
  echo "Every figure below comes from one run of the benchmarks in \`bench/\`; their raw output is"
  echo "kept in \`${logs#"$root"/}/\`."
  [ "$quick" = 1 ] && echo "**This is a quick run (BENCH_QUICK=1): short counts, figures not to keep.**"
  [ -n "$failed" ] && echo "**Benchmarks that did not finish normally:$failed.**"
  echo
  echo "| Machine | |"
  echo "|---|---|"
  echo "| CPU | $cpu |"
  echo "| Cores | $cores |"
  echo "| Memory | $ram |"
  echo "| Kernel | $kernel |"
  echo "| Debian | $debian |"
  echo "| Qt | $qt |"
  echo "| Compiler | $compiler |"
  echo "| Build | $build_type |"
  echo "| Load average (1, 5, 15 min) at the start, at the end | $load_start; $load |"
  echo
  echo "The machine may be shared: other work running at the same time shows as noise, mostly in"
  echo "the tails (p99, the slowest sample) and in the unpaced rates. Ratios measured within one"
  echo "benchmark (tool against the minimal loop, tool against the wire) are more stable than the"
  echo "absolute times. The wire limit is 10 bits a byte at the baud rate: one exchange of an 8-byte"
  echo "request and a 65-byte reply (a chart sample) takes $wire57600 us at 57600 baud and"
  echo "$wire9600 us at 9600 baud."
  echo
  echo "## Against the goals"
  echo
  echo "| goal | figure | met |"
  echo "|---|---:|:---:|"
  goal "status poller at 57600 baud against a minimal client on the same paced simulator, at least 0.97" \
    "$(poll_min 57600 2)" '>=' 0.97
  goal "status poller at 9600 baud, at least 95% of the wire limit" "$(poll_row 9600 4)" '>=' 95 %
  goal "status poller at 57600 baud, at least 95% of the wire limit" "$(poll_row 57600 4)" '>=' 95 %
  goal "chart sampling at 57600 baud, at least 95% of the wire limit" "$(soak WIRE_57600_PERCENT)" '>=' 95 %
  goal "chart sampling at 57600 baud against a minimal client on the same paced simulator, at least 0.97" \
    "$(soak WIRE_57600_RATIO)" '>=' 0.97
  goal "drive scan, no drive, 6 baud rates x 31 stations, at most 20 s" \
    "$(sed -nE 's/^no drive, 6 rates.* in ([0-9.]+) s.*/\1/p' "$logs/bench_scan.txt" 2>/dev/null)" '<=' 20 " s"
  goal "start-up to the main window shown, at most 300 ms (median of the further runs)" \
    "${startup_med:-$na}" '<=' 300 " ms"
  goal "status poll soak: RSS growth under 1024 KiB over $(soak POLL_CYCLES) cycles" \
    "$(soak POLL_RSS_GROWTH_KIB)" '<' 1024 " KiB"
  goal "status poll soak: no descriptor growth" "$(calc '%+d' 'a - b' "$(soak POLL_FDS_AFTER)" "$(soak POLL_FDS_BEFORE)")" '<=' 0
  goal "chart soak, window hidden: RSS growth under 40 B per stored sample ($(soak CHART_MEASURED) samples)" \
    "$(soak CHART_RSS_PER_SAMPLE_B)" '<' 40 " B"
  goal "chart soak, window hidden: heap in use growth under 40 B per stored sample" "$(soak CHART_HEAP_PER_SAMPLE_B)" '<' 40 " B"
  goal "chart soak, window on screen: RSS growth under 40 B per stored sample ($(soak CHART_SHOWN_MEASURED) samples)" \
    "$(soak CHART_SHOWN_RSS_PER_SAMPLE_B)" '<' 40 " B"
  read -r _ _ _ _ _ _ _ _ _ heap1m <<<"$(chart_row 1000000)"
  goal "strip chart: heap per sample of four series at 1 000 000 points (twice \`bench_chart\`'s two), under 40 B" \
    "$(calc '%.1f' '2 * a' "$heap1m")" '<' 40 " B"
  goal "chart soak, window hidden: no descriptor growth" "$(calc '%+d' 'a - b' "$(soak CHART_FDS_AFTER)" "$(soak CHART_FDS_BEFORE)")" '<=' 0
  goal "chart soak, window on screen: no descriptor growth" "$(calc '%+d' 'a - b' "$(soak CHART_SHOWN_FDS_AFTER)" "$(soak CHART_SHOWN_FDS_BEFORE)")" '<=' 0
  goal "chart soak, window hidden: $(soak CHART_TARGET) samples stored" "$(soak CHART_SAMPLES)" '>=' "$(soak CHART_TARGET)"
  echo
  echo "## Exchange time (\`bench_exchange $exchange_rounds\`)"
  echo
  echo "One read of 15 registers (8-byte request, 65-byte reply) through the drive link over a"
  echo "pseudo-terminal to an unpaced \`vd840-sim\`, $ex_rounds rounds each, interleaved with a minimal"
  echo "loop (write, poll, read) on the same kind of link as the baseline."
  echo
  echo "| | median us | p99 us | mean us | median / minimal loop | added to the wire time at 57600 | at 9600 |"
  echo "|---|---:|---:|---:|---:|---:|---:|"
  echo "| minimal loop | $ex_min_med | $ex_min_p99 | $ex_min_mean | 1.00 | | |"
  for row in "user-interface thread:$ex_ui_med:$ex_ui_p99:$ex_ui_mean" "worker thread (poller):$ex_wk_med:$ex_wk_p99:$ex_wk_mean"; do
    IFS=: read -r label med p99 mean <<<"$row"
    echo "| Velmora link, $label | $med | $p99 | $mean | $(calc '%.2f' 'a / b' "$med" "$ex_min_med") |" \
      "$(calc '%.2f%%' '100 * (a - b) / c' "$med" "$ex_min_med" "$wire57600") |" \
      "$(calc '%.2f%%' '100 * (a - b) / c' "$med" "$ex_min_med" "$wire9600") |"
  done
  echo
  echo "\"Added to the wire time\": the link's median minus the minimal loop's, as a share of one"
  echo "exchange's time on the wire. A figure to watch, no longer a goal: what counts is the rate"
  echo "against the wire and against a minimal client on the same paced line (below)."
  echo
  echo "## Status poll cycles against the wire"
  echo
  echo "A status poll cycle reads 10, 12, 18 and 1 registers: $pc_bytes bytes on the wire. Measured"
  echo "against \`vd840-sim\` on a pseudo-terminal paced at the baud rate (every byte of a request"
  echo "and of its reply costs 10/baud s). \`bench_poll $poll_seconds\` runs the status poller"
  echo "(the main window's worker thread) for $poll_seconds s at each rate; \`bench_exchange\` times"
  echo "single cycles from the user-interface thread at 57600 baud."
  echo
  echo "| | cycles/s | wire limit cycles/s | % of the wire limit |"
  echo "|---|---:|---:|---:|"
  for baud in 9600 57600; do
    echo "| status poller, $baud baud | $(poll_row $baud 1) | $(poll_row $baud 2) | $(poll_row $baud 4)% |"
    echo "| minimal client (write, poll, read; no Qt), $baud baud | $(poll_min $baud 1) | $(poll_row $baud 2) |" \
      "$(calc '%.1f%%' '100 * a / b' "$(poll_min $baud 1)" "$(poll_row $baud 2)") |"
  done
  echo "| single cycles, 57600 baud (median $pc_med us, p99 $pc_p99 us; wire $pc_wire us) |" \
    "$(calc '%.1f' '1e6 / a' "$pc_med") | $(calc '%.1f' '1e6 / a' "$pc_wire") | $pc_pct% |"
  echo
  echo "Goals: at least 95% of the wire limit, and at 57600 baud at least 0.97 of the minimal client"
  echo "run on the same simulator in the same run (poller / minimal client: 9600 baud $(poll_min 9600 2),"
  echo "57600 baud $(poll_min 57600 2))."
  echo
  echo "## Chart samples against the wire (\`bench_soak --wire-seconds\`)"
  echo
  echo "The monitoring window sampling four signals from \`vd840-sim\` paced at the baud rate; each"
  echo "sample is one read of 15 registers (73 bytes on the wire). The minimal client (write, poll,"
  echo "read; no Qt) runs the same read back to back on the same simulator in the same run, just before."
  echo
  echo "| | samples/s | wire limit samples/s | % of the wire limit | samples measured |"
  echo "|---|---:|---:|---:|---:|"
  for baud in 9600 57600; do
    echo "| monitoring window, $baud baud | $(soak WIRE_${baud}_RATE) | $(soak WIRE_${baud}_WIRE_RATE) |" \
      "$(soak WIRE_${baud}_PERCENT)% | $(soak WIRE_${baud}_SAMPLES) in $(soak WIRE_${baud}_SECONDS) s |"
    echo "| minimal client, $baud baud | $(soak WIRE_${baud}_MINIMAL_RATE) | $(soak WIRE_${baud}_WIRE_RATE) |" \
      "$(soak WIRE_${baud}_MINIMAL_PERCENT)% | |"
  done
  echo
  echo "Goals: at least 95% of the wire limit, and at 57600 baud at least 0.97 of the minimal client"
  echo "(window / minimal client: 9600 baud $(soak WIRE_9600_RATIO), 57600 baud $(soak WIRE_57600_RATIO))."
  echo
  echo "Where the time between two samples goes (us): the bytes on the wire; the simulator and the"
  echo "pseudo-terminal (what the minimal client needs beyond the wire); the tool (the rest)."
  echo
  echo "| | between two samples | wire | simulator and line | tool |"
  echo "|---|---:|---:|---:|---:|"
  for baud in 9600 57600; do
    gap=$(soak WIRE_${baud}_GAP_US); line=$(soak WIRE_${baud}_LINE_US); tool=$(soak WIRE_${baud}_TOOL_US)
    echo "| $baud baud | $gap | $(awk -v g="$gap" -v l="$line" -v t="$tool" 'BEGIN { printf "%.0f", g - l - t }') | $line | $tool |"
  done
  echo
  echo "## Strip chart cost (\`bench_chart\`)"
  echo
  echo "Two series on a 554 x 232 chart holding 1 000, 100 000 and 1 000 000 points each. Append: the"
  echo "two appends and the window's step of one sample (mean over filling the chart; max is the"
  echo "slowest single sample, scheduling noise included). Draw: one sample appended, then the"
  echo "whole chart drawn into an image (median of 200), with the last 1000 samples shown (live)"
  echo "or every stored sample shown (whole). (x) is the ratio to the 1 000-point row. Bytes per"
  echo "sample (two points here): the series' storage by capacity, and the growth of the heap in use."
  echo
  echo "| points | append us (x) | append max us | append / sample wire time at 57600 | live draw ms (x) | whole draw ms (x) | series bytes/sample | heap bytes/sample |"
  echo "|---:|---:|---:|---:|---:|---:|---:|---:|"
  for n in 1000 100000 1000000; do
    read -r p ap apx apmax live livex whole wholex bytes heap <<<"$(chart_row $n)"
    echo "| $n | $ap ($apx) | $apmax | $(calc '%.4f%%' '100 * a / b' "$ap" "$wire57600") | $live ($livex) |" \
      "$whole ($wholex) | $bytes | $heap |"
  done
  echo
  grep -F "At 1000000 points" "$logs/bench_chart.txt" 2>/dev/null | sed 's/^/> /'
  echo
  echo "## Finding the drive (\`bench_scan\`)"
  echo
  echo "Config → Find Drive... and \`velmora-cli scan\` against the in-process simulated drive: one"
  echo "read of the program version per baud rate and station, with the reply wait of each rate"
  echo "(100 ms at 9600 baud and above, longer below so a whole reply fits)."
  echo
  sed 's/^/    /' "$logs/bench_scan.txt" 2>/dev/null
  echo
  echo "## Start-up"
  echo
  echo "From the start of \`main()\` to the main window shown (offscreen platform), from \`bench_poll\`."
  echo
  echo "| run | ms |"
  echo "|---|---:|"
  echo "| with the benchmark run above | $startup |"
  echo "| $startup_runs further runs: lowest / median / highest | ${startup_min:-$na} / ${startup_med:-$na} / ${startup_max:-$na} |"
  echo
  echo "Goal: at most 300 ms."
  echo
  echo "## Soak (\`bench_soak ${soak_args[*]}\`)"
  echo
  echo "The main window on line against the in-process simulated drive, unpaced, so the tool runs"
  echo "as fast as it can: first the status poller, then the monitoring window storing samples, once"
  echo "on screen with every sample painted and once hidden after it opened (nothing painted, the rest"
  echo "as on screen), which is the run that reaches the full count. Resident memory (VmRSS), heap in"
  echo "use (allocator statistics), open descriptors and threads are taken after a warm-up (1 000"
  echo "cycles, or a tenth of the samples up to 1 000) and at the end of each part, both while the"
  echo "worker thread runs. Each part stops at its count or at the time limit, whichever comes first;"
  echo "what was run is what is shown."
  echo
  completed() { [ "$(soak "$1_COMPLETE")" = 1 ] && echo yes || echo "no (time limit; target $(soak "$1_TARGET"))"; }
  pair() { echo "$(soak "$1_$2"), $(soak "$1_$3")"; } # PART FIRST SECOND: "first, second"
  echo "| | status poll cycles | chart samples, window on screen | chart samples, window hidden |"
  echo "|---|---:|---:|---:|"
  echo "| run | $(soak POLL_CYCLES) cycles after the warm-up |" \
    "$(soak CHART_SHOWN_SAMPLES) stored ($(soak CHART_SHOWN_MEASURED) after the warm-up) |" \
    "$(soak CHART_SAMPLES) stored ($(soak CHART_MEASURED) after the warm-up) |"
  echo "| completed as asked | $( [ "$(soak POLL_COMPLETE)" = 1 ] && echo yes || echo "no (time limit)") |" \
    "$(completed CHART_SHOWN) | $(completed CHART) |"
  echo "| time, rate | $(soak POLL_SECONDS) s, $(soak POLL_RATE) cycles/s |" \
    "$(soak CHART_SHOWN_SECONDS) s, $(soak CHART_SHOWN_RATE) samples/s | $(soak CHART_SECONDS) s, $(soak CHART_RATE) samples/s |"
  echo "| RSS before, after (KiB) | $(pair POLL RSS_BEFORE_KIB RSS_AFTER_KIB) |" \
    "$(pair CHART_SHOWN RSS_BEFORE_KIB RSS_AFTER_KIB) | $(pair CHART RSS_BEFORE_KIB RSS_AFTER_KIB) |"
  echo "| RSS growth | $(soak POLL_RSS_GROWTH_KIB) KiB (goal < 1024 KiB) |" \
    "$(soak CHART_SHOWN_RSS_GROWTH_KIB) KiB: $(soak CHART_SHOWN_RSS_PER_SAMPLE_B) B per sample (goal < 40 B) |" \
    "$(soak CHART_RSS_GROWTH_KIB) KiB: $(soak CHART_RSS_PER_SAMPLE_B) B per sample (goal < 40 B) |"
  echo "| heap in use growth | $(soak POLL_HEAP_GROWTH_B) B |" \
    "$(soak CHART_SHOWN_HEAP_GROWTH_B) B: $(soak CHART_SHOWN_HEAP_PER_SAMPLE_B) B per sample |" \
    "$(soak CHART_HEAP_GROWTH_B) B: $(soak CHART_HEAP_PER_SAMPLE_B) B per sample |"
  echo "| the series' own storage | | $(soak CHART_SHOWN_STORAGE_PER_SAMPLE_B) B per sample | $(soak CHART_STORAGE_PER_SAMPLE_B) B per sample |"
  echo "| descriptors before, after | $(pair POLL FDS_BEFORE FDS_AFTER) |" \
    "$(pair CHART_SHOWN FDS_BEFORE FDS_AFTER) | $(pair CHART FDS_BEFORE FDS_AFTER) |"
  echo "| threads before, after | $(pair POLL THREADS_BEFORE THREADS_AFTER) |" \
    "$(pair CHART_SHOWN THREADS_BEFORE THREADS_AFTER) | $(pair CHART THREADS_BEFORE THREADS_AFTER) |"
  echo "| descriptors, threads once sampling stopped | |" \
    "$(pair CHART_SHOWN FDS_STOPPED THREADS_STOPPED) | $(pair CHART FDS_STOPPED THREADS_STOPPED) |"
  echo "| rate against the wire limit at 57600 / 9600 |" \
    "$(calc '%.0f x / %.0f x' 'a / b, a / c' "$(soak POLL_RATE)" "$(poll_row 57600 2)" "$(poll_row 9600 2)") |" \
    "$(calc '%.0f x / %.0f x' 'a * b / 1e6, a * c / 1e6' "$(soak CHART_SHOWN_RATE)" "$wire57600" "$wire9600") |" \
    "$(calc '%.0f x / %.0f x' 'a * b / 1e6, a * c / 1e6' "$(soak CHART_RATE)" "$wire57600" "$wire9600") |"
  echo
  echo "The last row: how many times faster than the wire at 57600 / 9600 baud the tool ran"
  echo "unpaced, i.e. how much room the tool leaves on a real line."
  echo
  echo "Every Qt thread holds one event descriptor, so descriptors follow threads: the user-interface"
  echo "thread, the worker (status poller or chart sampler) and Qt's shared worker threads, which the"
  echo "benchmark keeps for the whole run. Descriptors at program start $(soak START_FDS); after the soak,"
  echo "with the main window gone, $(soak END_FDS)."
  if [ "$(soak CHART_COMPLETE)" = 0 ]; then
    echo
    echo "The chart part stopped at the time limit: at $(soak CHART_RATE) samples/s, $(soak CHART_TARGET) samples"
    echo "would take $(calc '%.1f' 'b / a / 3600' "$(soak CHART_RATE)" "$(soak CHART_TARGET)") hours. Memory per sample is measured over the samples stored; the"
    echo "series' storage at a million points is in the strip chart table above."
  fi
  echo
  echo "Progress during the soak (every 30 s):"
  echo
  echo '```'
  grep -E '^(Status poll soak|Chart soak|  \.\.\.)' "$logs/bench_soak.txt" 2>/dev/null
  echo '```'
} >"$tmp"
mv "$tmp" "$out"
echo "wrote $out" >&2
