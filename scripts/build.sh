#!/usr/bin/env bash
# Configures and builds one target: native (default), sanitize or windows.
#   scripts/build.sh [native|sanitize|windows]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
kind=${1:-native}
jobs=${VEK_JOBS:-$(nproc)}
case "$kind" in
  native)   dir=$here/build/native;   args=(-DCMAKE_BUILD_TYPE=RelWithDebInfo) ;;
  sanitize) dir=$here/build/sanitize; args=(-DCMAKE_BUILD_TYPE=Debug -DVEK_SANITIZE=ON -DVEK_BENCHMARKS=OFF) ;;
  windows)  dir=$here/build/windows;  args=(-DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=$here/cmake/mingw-w64.cmake) ;;
  *) echo "unknown build kind: $kind" >&2; exit 2 ;;
esac
cmake -S "$here" -B "$dir" -G Ninja "${args[@]}" >/dev/null
cmake --build "$dir" -j "$jobs"
