#!/usr/bin/env bash
# Checks the direction of the include arrows in src/: a folder includes only
# from itself and from the folders below it,
#   platform < support < fetch < reports < check < shell
# with no exception. Exits non-zero on a violation.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here/src"
rank() {
  case "$1" in
    platform) echo 0 ;; support) echo 1 ;; fetch) echo 2 ;;
    reports) echo 3 ;; check) echo 4 ;; shell) echo 5 ;; *) echo -1 ;;
  esac
}
status=0
while IFS= read -r hit; do
  file=${hit%%:*}
  target=$(sed -E 's/.*#include "([^"]+)".*/\1/' <<<"${hit#*:}")
  from=${file%%/*}
  to=${target%%/*}
  if [ "$(rank "$to")" -lt 0 ]; then continue; fi
  if [ "$(rank "$to")" -gt "$(rank "$from")" ]; then
    echo "layering: src/$file includes $target (from $from up to $to)" >&2
    status=1
  fi
done < <(grep -rHE '^#include "' --include='*.h' --include='*.cpp' .  | sed 's|^\./||')
[ $status -eq 0 ] && echo "Include arrows point downwards only (platform < support < fetch < reports < check < shell)."
exit $status
