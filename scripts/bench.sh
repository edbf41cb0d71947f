#!/usr/bin/env bash
# Builds the native tree and prints one table of every benchmark, each figure
# beside its reference and their ratio, all measured in this one run:
#   micro-benchmarks (line reader, gzip, EUC-JP) beside plain code doing the same,
#   the board fetch and the whole `vek check` beside plain libcurl (200 gzip boards),
#   the whole check at 40 ms round trip (100 boards on 5 hosts, http and https,
#   through a latency relay) beside plain libcurl reusing its connections,
#   a second check of unchanged boards with ConditionalGet on beside it off,
#   the 20,000-thread run's local steps beside a plain read-and-rewrite loop,
#   the scale series of 1,000 / 10,000 / 100,000 watched threads,
#   and the window's log pane through a 2,000-board check's lines under Wine.
#   scripts/bench.sh [--quick] [--no-window]
# --quick leaves out the 100,000-thread run; --no-window the log pane (which
# builds the Windows tree and needs Wine and Xvfb; without them it is skipped).
# The details of every program go to build/bench-logs/; the table to stdout.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
root=${VEK_BUILD_ROOT:-$here/build}
quick=0
window=1
for arg in "$@"; do
  case "$arg" in
    --quick) quick=1 ;;
    --no-window) window=0 ;;
    *) echo "usage: scripts/bench.sh [--quick] [--no-window]" >&2; exit 64 ;;
  esac
done
bash "$here/scripts/deps.sh"
bash "$here/scripts/build.sh" native --target vek vek-board-server bench_support bench_fetch bench_check bench_latency bench_run >/dev/null
bin=$root/native/bench
logs=$root/bench-logs
mkdir -p "$logs"
table=$logs/table.tsv
: >"$table"
started=$(date +%s)

# A program that fails leaves its rows out; the others still run.
status=0
failed() { echo "$1 failed: see $2" >&2; status=1; }
row() { printf '%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" >>"$table"; }

# Micro-benchmarks: each of ours is followed by its plain reference.
echo "micro-benchmarks ..." >&2
"$bin/bench_support" --benchmark_format=csv --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
  >"$logs/support.csv" 2>"$logs/support.err" || failed "bench_support" "$logs/support.err"
awk -F, '/_median"?,/ {
    name = $1; gsub(/"/, "", name); sub(/_median$/, "", name)
    n++; names[n] = name; times[n] = $3; units[n] = $5; gsub(/"/, "", units[n])
  }
  END {
    for (i = 1; i + 1 <= n; i += 2)
      printf "micro: %s vs %s\t%.2f %s\t%.2f %s\t%.2f\n", names[i], names[i+1], times[i], units[i], times[i+1], units[i+1], times[i] / times[i+1]
  }' "$logs/support.csv" >>"$table"

echo "board fetch ..." >&2
"$bin/bench_fetch" >"$logs/fetch.txt" 2>&1 || failed "bench_fetch" "$logs/fetch.txt"
sed -n 's/^200 boards: board fetch \([0-9.]*\) ms, plain libcurl \([0-9.]*\) ms, ratio \([0-9.]*\).*/\1 \2 \3/p' \
  "$logs/fetch.txt" | while read -r ours ref ratio; do
  row "board fetch, 200 gzip boards (best of 5)" "$ours ms" "$ref ms" "$(printf '%.2f' "$ratio")"
done

echo "whole check ..." >&2
"$bin/bench_check" --rounds 7 >"$logs/check.txt" 2>&1 || failed "bench_check" "$logs/check.txt"
grep '^table' "$logs/check.txt" | cut -f2- >>"$table"

# Far away: 40 ms round trip through the latency relay. https needs root for
# the private authority's mount namespace (tests/fetch/tls.sh); without it
# only the http rows are measured. vekc.exe under Wine joins when the Windows
# tree can be built (not with --no-window).
echo "40 ms round trip ..." >&2
latency=("$bin/bench_latency" --rounds 3)
if [ $window = 1 ] && command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null &&
  bash "$here/scripts/build.sh" windows --target vek >"$logs/latency-build.txt" 2>&1; then
  latency+=(--wine "$root/windows/vekc.exe")
fi
tls=0
bash "$here/tests/fetch/tls.sh" "${latency[@]}" >"$logs/latency.txt" 2>&1 || tls=$?
case $tls in
  0) ;;
  77) "${latency[@]}" >"$logs/latency.txt" 2>&1 || failed "bench_latency" "$logs/latency.txt" ;;
  *) failed "bench_latency" "$logs/latency.txt" ;;
esac
grep '^table' "$logs/latency.txt" | cut -f2- >>"$table"

# ConditionalGet: a second check of unchanged boards with it off and on, at
# 40 ms (100 boards on 5 hosts) and on loopback through the relay at 0 ms
# (200 boards on 4 hosts), with the bytes the servers sent.
echo "conditional requests ..." >&2
while read -r rtt boards hosts; do
  log=$logs/conditional-${rtt}ms.txt
  "$bin/bench_latency" --conditional --rtt "$rtt" --boards "$boards" --hosts "$hosts" --rounds 3 >"$log" 2>&1 ||
    failed "bench_latency --conditional" "$log"
  grep '^table' "$log" | cut -f2- >>"$table"
done <<<$'40 100 5\n0 200 4'

run() {  # label boards watched-per-board [more bench_run options]
  echo "$1 ..." >&2
  local log=$logs/run-$2-$3${5:+-full$5}.txt
  "$bin/bench_run" --boards "$2" --watched-per-board "$3" --table "$1" "${@:4}" >"$log" 2>&1 || failed "bench_run" "$log"
  grep '^table' "$log" | cut -f2- >>"$table"
}
run "20,000 threads on 500 boards" 500 40
# The next-thread report on, 1,000 of the watched threads full: its step
# against the local steps (target: under 10 %).
run "next-thread report, 20,000 threads, 1,000 full" 500 40 --full 1000
run "scale 1,000 threads on 50 boards" 50 20
run "scale 10,000 threads on 500 boards" 500 20
[ $quick = 1 ] || run "scale 100,000 threads on 2,000 boards" 2000 50

# Growth of the scale series per tenfold threads, beside the x10 of linear
# growth: the local steps' time (disk waits included) and the second run's CPU
# time (what the machine's other work cannot stretch).
awk -F'\t' '/^scale / {
    split($1, a, " threads"); n = a[1]; sub(/^scale /, "", n)
    if ($1 ~ /local steps 1,2,5-7/) local[n] = $2 + 0
    if ($1 ~ /CPU time/) cpu[n] = $2 + 0
  }
  function growth(from, to, what, v) {
    if (v[from] > 0 && v[to] > 0)
      printf "growth %s -> %s threads (x10), %s\tx%.1f\tx10 if linear\t%.2f\n", from, to, what, v[to] / v[from], v[to] / v[from] / 10
  }
  END {
    growth("1,000", "10,000", "local steps", local); growth("10,000", "100,000", "local steps", local)
    growth("1,000", "10,000", "CPU time", cpu); growth("10,000", "100,000", "CPU time", cpu)
  }' "$table" >>"$table.growth"
cat "$table.growth" >>"$table"
rm -f "$table.growth"

# The window's log pane: the lines of a 2,000-board check with a 10 ms pause
# per board, with and without the pane, in the real window under Wine.
pane_label="window log pane, 2,000-board check under Wine (with pane vs without)"
if [ $window = 1 ] && command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v wine >/dev/null &&
  command -v xvfb-run >/dev/null; then
  echo "window log pane ..." >&2
  log=$logs/logpane.txt
  if bash "$here/scripts/build.sh" windows --target vek-logpane-bench >"$log" 2>&1 &&
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c 'bash "$0/scripts/wine-run.sh" "$1/windows/vek-logpane-bench.exe" 2000 10; status=$?; wineserver -w; exit $status' \
      "$here" "$root" >>"$log" 2>&1; then
    sed -n 's/^log pane: .*: \([0-9.]*\) ms with the pane, \([0-9.]*\) ms without.*/\1 \2/p' "$log" | while read -r with without; do
      row "$pane_label" "$with ms" "$without ms" "$(awk -v a="$with" -v b="$without" 'BEGIN { printf "%.3f", a / b }')"
    done
  else
    failed "vek-logpane-bench" "$log"
  fi
else
  row "$pane_label" "skipped" "(--no-window, or no mingw-w64, Wine or Xvfb)" "-"
fi

{
  printf 'what\tmeasured\treference\tratio\n'
  cat "$table"
} | column -t -s $'\t'
echo "($(( $(date +%s) - started )) s; details in $logs)"
exit $status
