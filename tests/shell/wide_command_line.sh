#!/usr/bin/env bash
# vekc.exe takes its arguments from the wide command line: a Japanese --dir
# ("表ソ": both end in the byte of "\") names the right folder whatever the
# ANSI code page of the process (a UTF-8 locale under Wine gives another one).
#   wide_command_line.sh <vekc.exe>
set -eu
here=$(cd "$(dirname "$0")/../.." && pwd)
exe=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
for locale in C.UTF-8 ja_JP.UTF-8; do
  name="表ソ-$locale"
  VEK_WINE_LC_ALL=$locale bash "$here/scripts/wine-run.sh" "$exe" --dir "Z:${dir//\//\\}\\$name" \
    config VEK.TimeOutTime 20 </dev/null >/dev/null 2>&1
  if ! grep -q '^TimeOutTime=20' "$dir/$name/vek.ini" 2>/dev/null; then
    echo "FAILED: --dir with a Japanese folder under $locale; made: $(ls "$dir")" >&2
    exit 1
  fi
done
echo "a Japanese --dir reached vekc.exe whole under both locales"
