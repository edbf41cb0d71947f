#!/usr/bin/env bash
# Runs the end-to-end scenarios on the Windows console build under Wine:
#   run_wine.sh <native test_e2e driver> <vekc.exe> [<vek.exe> <vek-probe.exe>]
# With the window program and the probe, only the window's scenarios run.
# The driver is native (it serves the boards and compares the files); only
# the command under test runs under Wine. Exit 77 (skipped) without a driver.
set -u
driver=$1
exe=$2
if [ ! -x "$driver" ]; then
  echo "no native end-to-end driver at $driver; build the native tree first" >&2
  exit 77
fi
if [ $# -ge 4 ]; then
  VEK_E2E_GUI_EXE=$3 VEK_E2E_PROBE=$4 VEK_E2E_EXE=$exe VEK_E2E_WINE=1 exec "$driver" --gtest_filter='GuiRun.*'
fi
# The full-disk scenario is the native build's (it needs a tmpfs of its own).
VEK_E2E_EXE=$exe VEK_E2E_WINE=1 exec "$driver" --gtest_filter='-GuiRun.*:FullDisk.*'
