#!/usr/bin/env bash
# Runs the end-to-end scenarios on the Windows console build under Wine:
#   run_wine.sh <native test_e2e driver> <vekc.exe>
# The driver is native (it serves the boards and compares the files); only
# the command under test runs under Wine. Exit 77 (skipped) without a driver.
set -u
driver=$1
exe=$2
if [ ! -x "$driver" ]; then
  echo "no native end-to-end driver at $driver; build the native tree first" >&2
  exit 77
fi
VEK_E2E_EXE=$exe VEK_E2E_WINE=1 exec "$driver"
