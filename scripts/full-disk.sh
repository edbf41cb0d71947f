#!/usr/bin/env bash
# The long version of the full-disk scenario: a check run over a large world
# of watched threads on a tmpfs of its own that fills up at every point of
# the run (see tests/e2e/WriteFaultTest.cpp). Linux, as root.
#   scripts/full-disk.sh [THREADS]     default 20000
# Builds the native tree's command and scenario driver first.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
threads=${1:-20000}
if [ "$(id -u)" != 0 ]; then
  echo "full-disk: run as root (the scenario mounts a tmpfs in a mount namespace of its own)" >&2
  exit 77
fi
bash "$here/scripts/build.sh" native --target vek test_e2e
start=$(date +%s)
log=$(mktemp)
trap 'rm -f "$log"' EXIT
status=0
VEK_FULL_DISK_THREADS=$threads "${VEK_BUILD_ROOT:-$here/build}/native/tests/e2e/test_e2e" \
  --gtest_filter='FullDisk.*' > "$log" 2>&1 || status=$?
grep -E 'pages free|fits in|OK \]|FAILED|Failure|SKIPPED' "$log" || true
[ $status = 0 ] || tail -n 60 "$log"
echo "full-disk: $threads threads, $(( $(date +%s) - start )) s"
exit $status
