#!/usr/bin/env bash
# Configures and builds one target: native (default), sanitize or windows.
#   scripts/build.sh [native|sanitize|windows] [cmake --build options, e.g. --target test_support]
# VEK_BUILD_ROOT moves the build trees (default: build/ in the repository).
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-native}
shift || true
root=${VEK_BUILD_ROOT:-$here/build}
jobs=${VEK_JOBS:-$(nproc)}
case "$kind" in
  native)   args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  sanitize) args=(-DCMAKE_BUILD_TYPE=Debug -DVEK_SANITIZE=ON -DVEK_BENCHMARKS=OFF) ;;
  windows)  args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$here/cmake/mingw-w64.cmake) ;;
  *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac
dir=$root/$kind
cmake -S "$here" -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$jobs" "$@"
