#!/usr/bin/env bash
# Installs what is missing, builds every target and runs every test:
# natively, natively under the address and undefined-behaviour sanitizers,
# and the Windows build under Wine.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
bash "$here/scripts/deps.sh"
export VEK_WINEPREFIX=$here/build/wineprefix
status=0
run_kind() {
  local kind=$1
  echo "=== $kind: build"
  bash "$here/scripts/build.sh" "$kind" || return 1
  echo "=== $kind: test"
  ctest --test-dir "$here/build/$kind" --output-on-failure -j 2 || return 1
}
stop_wine() { WINEPREFIX=$VEK_WINEPREFIX wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
for kind in native sanitize windows; do
  run_kind "$kind" || status=1
done
stop_wine
if [ $status -eq 0 ]; then echo "All test runs passed."; else echo "Some test runs FAILED." >&2; fi
exit $status
