#!/usr/bin/env bash
# Reads the resources of the built Windows programs as Explorer and the
# loader read them (icoutils' wrestool, no Windows needed):
#   check_resources.sh VERSION vek.exe vekc.exe
# Both carry a manifest (asInvoker, the Windows 10/11 supportedOS entry),
# an icon group of 16, 32, 48 and 256 pixels and version information naming
# VERSION; the window program's manifest also asks for the common controls
# of version 6 and per-monitor (v2) DPI awareness.
set -u
version=$1
gui=$2
console=$3
status=0
icon=$(mktemp)
trap 'rm -f "$icon"' EXIT
fail() {
  echo "$1" >&2
  status=1
}
has() {  # text, fixed string, what
  grep -qF -- "$2" <<<"$1" || fail "$3"
}
for exe in "$gui" "$console"; do
  name=$(basename "$exe")
  list=$(wrestool -l "$exe")
  for type in 14 16 24; do
    grep -q -- "--type=$type " <<<"$list" || fail "$name: no resource of type $type"
  done
  manifest=$(wrestool -x --raw --type=24 "$exe")
  has "$manifest" 'level="asInvoker"' "$name: the manifest does not run it asInvoker"
  has "$manifest" '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}' "$name: the manifest lacks Windows 10/11"
  has "$manifest" "version=\"$version.0\"" "$name: the manifest does not carry version $version"
  # icotool seeks in what it reads: a file, not a pipe.
  wrestool -x --type=14 "$exe" >"$icon"
  sizes=$(icotool -l "$icon" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | tr '\n' ' ')
  [ "$sizes" = "16 32 48 256 " ] || fail "$name: icon sizes are '$sizes', not 16 32 48 256"
  strings=$(wrestool -x --raw --type=16 "$exe" | iconv -f UTF-16LE -t UTF-8 -c | tr -c '[:print:]' '\n')
  for field in FileVersion ProductVersion; do
    has "$strings" "$field" "$name: no $field"
  done
  [ "$(grep -cx -- "$version" <<<"$strings")" -ge 2 ] || fail "$name: the version information does not name $version twice"
  has "$strings" "$name" "$name: OriginalFilename is not $name"
  has "$strings" "the VEK authors; MIT License" "$name: no LegalCopyright line with the licence"
  echo "$name: $(grep -c -- '--type=3 ' <<<"$list") icon images ($sizes), version $version"
done
manifest=$(wrestool -x --raw --type=24 "$gui")
has "$manifest" 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "vek.exe: no common controls 6"
has "$manifest" 'PerMonitorV2' "vek.exe: not PerMonitorV2 aware"
has "$manifest" 'true/pm' "vek.exe: no per-monitor awareness for Windows 8.1"
exit $status
