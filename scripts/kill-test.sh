#!/usr/bin/env bash
# The long kill test (Linux): `vek check` on 3,001 watched threads on 41 boards
# of the loopback board server, killed with SIGKILL at POINTS moments (default
# 60) spread over every part of the run, each followed by a check of every file
# and a next run compared with an uninterrupted one; then 12 more kills with
# the fallen mark on (`check --mark-fallen`). The test suite runs 9 kill points
# of the first kind (ctest -R '^kill$').
#   scripts/kill-test.sh [POINTS]
# Every kill's line goes to build/kill-logs/; the summary to stdout.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
root=${VEK_BUILD_ROOT:-$here/build}
points=${1:-60}
bash "$here/scripts/deps.sh" >/dev/null
bash "$here/scripts/build.sh" native --target vek vek-board-server test_kill >/dev/null
logs=$root/kill-logs
mkdir -p "$logs"
status=0
run() {  # log-name options...
  local log=$logs/$1.txt
  shift
  "$root/native/tests/kill/test_kill" "$@" >"$log" 2>&1 || status=1
  # Passed kills are in the log only; failed ones show with their reasons.
  grep -v '^kill .*: ok$' "$log"
  echo
}
started=$(date +%s)
run kill --points "$points"
run kill-mark-fallen --points 12 --mark-fallen
echo "($(( $(date +%s) - started )) s; every kill in $logs)"
exit $status
