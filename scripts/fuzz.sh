#!/usr/bin/env bash
# Builds the fuzz targets of fuzz/ with clang's libFuzzer under the address and
# undefined-behaviour sanitizers and runs each for SECONDS (default 60) over
# its corpus (fuzz/corpus/NAME; new inputs found go to build/fuzz/corpus/NAME).
# Inputs that crashed once are kept in fuzz/regressions/NAME and run first.
# "merge" minimises the committed corpus together with what runs found into
# fuzz/corpus/NAME (libFuzzer's -merge=1: the smallest inputs, at most 1 KB,
# that keep all coverage).
#   scripts/fuzz.sh [SECONDS] [TARGET...]
#   scripts/fuzz.sh merge [TARGET...]
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
root=${VEK_BUILD_ROOT:-$here/build}
out=$root/fuzz
mode=run
if [ "${1:-}" = merge ]; then
  mode=merge
  seconds=0
else
  seconds=${1:-60}
fi
shift || true
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in "$here"/fuzz/fuzz_*.cpp; do targets+=("$(basename "$f" .cpp)"); done
fi
cxx=${CXX_FUZZ:-clang++}
# The version as the CMake build defines it.
version=$(sed -n 's/^project(VEK VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")
flags=(-DVEK_VERSION_TEXT="\"$version\"" -std=c++20 -g -O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined
       -finput-charset=UTF-8 -I"$here/src" -I"$here/fuzz" -DVEK_FUZZING)
mkdir -p "$out/obj"
# The portable core and the POSIX layer, without the front-end's main: only
# the layers the targets read from (the check run and the shell stay out).
sources=$(ls "$here"/src/support/*.cpp "$here"/src/fetch/*.cpp "$here"/src/reports/*.cpp \
  "$here"/src/platform/*.cpp | grep -v '_win32\.cpp$')
compile() {
  "$cxx" "${flags[@]}" -fsanitize=fuzzer-no-link -c "$1" -o "$2.tmp" && mv "$2.tmp" "$2"
}
objects=()
changed=0
for s in $sources; do
  o=$out/obj/$(echo "${s#$here/src/}" | tr / _).o
  if [ ! -f "$o" ] || [ "$s" -nt "$o" ] || [ -n "$(find "$here/src" -name '*.h' -newer "$o" -print -quit)" ]; then
    rm -f "$o"
    compile "$s" "$o" &
    changed=1
    while [ "$(jobs -rp | wc -l)" -ge "${VEK_JOBS:-2}" ]; do wait -n || true; done
  fi
  objects+=("$o")
done
wait
# A unit that did not compile has no object.
for o in "${objects[@]}"; do [ -f "$o" ] || { echo "fuzz build failed: $o" >&2; exit 1; }; done
# The archive is only rewritten when an object changed, so that runs of
# other targets going on at the same time keep their binaries.
if [ $changed = 1 ] || [ ! -f "$out/libvek_fuzz.a" ]; then
  rm -f "$out/libvek_fuzz.a.new"
  ar rcs "$out/libvek_fuzz.a.new" "${objects[@]}"
  mv "$out/libvek_fuzz.a.new" "$out/libvek_fuzz.a"
fi
status=0
for t in "${targets[@]}"; do
  bin=$out/$t
  if [ ! -f "$bin" ] || [ "$here/fuzz/$t.cpp" -nt "$bin" ] || [ "$out/libvek_fuzz.a" -nt "$bin" ]; then
    "$cxx" "${flags[@]}" -fsanitize=fuzzer "$here/fuzz/$t.cpp" "$out/libvek_fuzz.a" -lz -lcurl -lpthread -o "$bin.new"
    mv "$bin.new" "$bin"
  fi
  corpus=$here/fuzz/corpus/$t
  regressions=$here/fuzz/regressions/$t
  mkdir -p "$corpus" "$regressions" "$out/corpus/$t" "$out/artifacts/$t"
  if [ $mode = merge ]; then
    rm -rf "$out/merged/$t"
    mkdir -p "$out/merged/$t"
    # Inputs cut at 1 KB keep every edge the longer ones reach, at a third of the size.
    if ! "$bin" -merge=1 -max_len=1024 -timeout=10 -rss_limit_mb=2048 "$out/merged/$t" "$corpus" "$out/corpus/$t" \
        > "$out/$t.merge.log" 2>&1; then
      echo "$t: merge failed (log $out/$t.merge.log)"
      status=1
      continue
    fi
    find "$corpus" -type f -delete
    cp "$out/merged/$t"/* "$corpus"/
    echo "=== $t: corpus of $(ls "$corpus" | wc -l) inputs, $(cat "$corpus"/* | wc -c) bytes"
    continue
  fi
  echo "=== $t: ${seconds}s"
  if [ -n "$(ls -A "$regressions")" ]; then
    "$bin" -runs=0 "$regressions"/* > "$out/$t.regressions.log" 2>&1 || { echo "$t: a kept regression input fails again"; status=1; continue; }
  fi
  if ! "$bin" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$out/artifacts/$t/" "$out/corpus/$t" "$corpus" > "$out/$t.log" 2>&1; then
    echo "$t: FOUND a failure (build/fuzz/artifacts/$t, log $out/$t.log)"
    status=1
  fi
  grep -E "^stat::number_of_executed_units|^stat::average_exec_per_sec|^#[0-9]+ *DONE" "$out/$t.log" | tr '\n' ' '
  echo
done
exit $status
