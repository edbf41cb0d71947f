#!/usr/bin/env bash
# Installs what is missing, builds every target and runs every test:
# natively, the fuzz targets for a few seconds each over their committed
# corpus, natively under the address and undefined-behaviour sanitizers, and
# the Windows build under Wine. Exits non-zero when anything fails.
#   VEK_BUILD_ROOT    where the build trees go (default: build/ in the repository)
#   VEK_TEST_KINDS    which trees to build and test (default: "native fuzz sanitize windows")
#   VEK_TEST_TARGETS  build only these test programs and run only their tests
#                     (for example "test_platform test_support", or with
#                     VEK_TEST_KINDS=fuzz fuzz targets such as "fuzz_index");
#                     default: everything
#   VEK_FUZZ_SECONDS  seconds each fuzz target runs (default 5)
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
root=${VEK_BUILD_ROOT:-$here/build}
export VEK_BUILD_ROOT=$root
bash "$here/scripts/deps.sh"
export VEK_WINEPREFIX=${VEK_WINEPREFIX:-$root/wineprefix}
kinds=${VEK_TEST_KINDS:-native fuzz sanitize windows}
targets=${VEK_TEST_TARGETS:-}

build_args=()
test_args=()
if [ -n "$targets" ]; then
  names=()
  for t in $targets; do
    build_args+=(--target "$t")
    names+=("${t#test_}")
  done
  regex=$(IFS='|'; echo "${names[*]}")
  test_args=(-R "^($regex)\$")
fi

# The fuzz targets named in VEK_TEST_TARGETS; all of them when it is empty,
# none when it names only test programs.
run_fuzz() {
  local names=() t
  for t in $targets; do
    case $t in fuzz_*) names+=("$t") ;; esac
  done
  if [ -n "$targets" ] && [ ${#names[@]} -eq 0 ]; then
    echo "=== fuzz: no fuzz target among the chosen targets"
    return 0
  fi
  echo "=== fuzz: build and run"
  bash "$here/scripts/fuzz.sh" "${VEK_FUZZ_SECONDS:-5}" "${names[@]}"
}

run_kind() {
  local kind=$1
  if [ "$kind" = fuzz ]; then
    run_fuzz
    return
  fi
  echo "=== $kind: build"
  bash "$here/scripts/build.sh" "$kind" "${build_args[@]}" || return 1
  echo "=== $kind: test"
  if [ "$kind" = windows ] && [ -z "${DISPLAY:-}" ]; then
    # The window's tests need an X server: a headless one for this run, and
    # no Wine process outlives it. Wine now and then fails to start a test
    # program at all (it ends within milliseconds, having printed nothing);
    # such a test is run once more, and its first failure stays in the log.
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
      ctest --test-dir "$0" --output-on-failure -j 2 --repeat until-pass:2 "${@}"; status=$?
      WINEPREFIX=$VEK_WINEPREFIX wineserver -k >/dev/null 2>&1
      exit $status' "$root/$kind" "${test_args[@]}" || return 1
  else
    ctest --test-dir "$root/$kind" --output-on-failure -j 2 "${test_args[@]}" || return 1
  fi
}

# No Wine process may outlive the run, whatever way it ends.
stop_wine() { WINEPREFIX=$VEK_WINEPREFIX wineserver -k >/dev/null 2>&1 || true; }
trap stop_wine EXIT
trap 'exit 130' INT TERM

status=0
failed=()
# The include arrows are checked first: a few greps, no build needed.
if ! bash "$here/scripts/check-layers.sh"; then
  status=1
  failed+=("layers")
fi
for kind in $kinds; do
  if ! run_kind "$kind"; then
    status=1
    failed+=("$kind")
  fi
done
stop_wine
if [ $status -eq 0 ]; then
  echo "All test runs passed ($kinds)."
else
  echo "Some test runs FAILED: ${failed[*]}" >&2
fi
exit $status
