#!/usr/bin/env bash
# Runs the end-to-end scenarios on the Windows console build under Wine:
#   run_wine.sh <native test_e2e driver> <vekc.exe> [<stand-in host browser>]
# The driver is native (it serves the boards and compares the files); only
# the programs under test run under Wine. Exit 77 (skipped) without a driver.
# The stand-in host browser needs a window, and Wine creates windows only
# with an X server: without a display the driver runs under xvfb-run.
set -u
driver=$1
exe=$2
fake=${3:-}
if [ ! -x "$driver" ]; then
  echo "no native end-to-end driver at $driver; build the native tree first" >&2
  exit 77
fi
export VEK_E2E_EXE=$exe VEK_E2E_WINE=1 VEK_E2E_FAKE_HOST=$fake
if [ -z "${DISPLAY:-}" ] && command -v xvfb-run >/dev/null; then
  exec xvfb-run -a -s "-screen 0 640x480x24" "$driver"
fi
exec "$driver"
