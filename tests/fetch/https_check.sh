#!/usr/bin/env bash
# One `vek check` as a user runs it, over real https: run by tls.sh (which
# makes the test authority the system's trust store and VEK_TLS_DIR the
# certificates' directory).
#   https_check.sh BOARD_SERVER [RUNNER...] VEK
# VEK is build/native/vek, or wine-run.sh and vekc.exe for the Windows build.
# Four boards: one over https, one whose http address moved to https (301),
# one with a certificate for another name and one with an expired one. The
# two refused boards fail with the library's reason on their log line, their
# previous lists stay in the cache, and they are listed in failed.txt.
# VEK_KEEP=1 keeps its directory (/tmp/vek-https-check.*) for a look afterwards.
set -u
server=$1
shift
vek=("$@")
windows=no
case "${vek[-1]}" in *.exe) windows=yes ;; esac
dir=$(mktemp -d /tmp/vek-https-check.XXXXXX)
trap 'rm -f "$dir/ports"; wait; [ -n "${VEK_KEEP:-}" ] || rm -rf "$dir"' EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }
# The program's form of a path: Z:\... under Wine.
local_path() { if [ $windows = yes ]; then echo "Z:${1//\//\\}\\"; else echo "$1/"; fi; }

list='1000000002.dat<>second (7)
1000000001.dat<>first (5)
'
stored=$'1000000001.dat<>first (5)\r\n1000000002.dat<>second (7)\r\n'
previous=$'1000000009.dat<>the previous list (1)\r\n'
for host in a good old other; do mkdir -p "$dir/root/$host/news"; done
for host in good old other; do printf '%s' "$list" > "$dir/root/$host/news/subject.txt"; done
"$server" --root "$dir/root" --single-address --tls "$VEK_TLS_DIR" --ports-file "$dir/ports" --quiet \
  --time-limit 120 --log "$dir/requests.log" &
for i in $(seq 1 200); do [ -f "$dir/ports" ] && break; sleep 0.05; done
[ -f "$dir/ports" ] || fail "the board server did not start"
port() { awk -v h="$1" '$1 == "host" && $2 == h { sub(/.*:/, "", $3); print $3 }' "$dir/ports"; }
board() { echo "$1://boards.vek.test:$(port "$2")/news/subject.txt"; }
printf 'redirect %s\nstatus 301\n' "$(board https good)" > "$dir/root/a/news/board.conf"

mkdir -p "$dir/prog/subject" "$dir/host/log"
"${vek[@]}" --dir "$(local_path "$dir/prog")" config dorvella.Directory "$(local_path "$dir/host")" >/dev/null 2>&1 ||
  fail "vek config did not run"
lines=("$(board https good)" "$(board http a)" "$(board https other)" "$(board https old)")
printf '%s\r\n' "${lines[@]}" > "$dir/prog/subject_list.txt"
cache() { local name=${1#http://}; name=${name%/subject.txt}; name=${name//\//%2F}; echo "$dir/prog/subject/${name//:/%3A}.txt"; }
for line in "${lines[2]}" "${lines[3]}"; do printf '%s' "$previous" > "$(cache "$line")"; done
# The https board's snapshot knows one of its threads: the other is new.
good_cache=$(cache "${lines[0]}")
printf '1000000001.dat\r\n' > "${good_cache%.txt}.lst"

"${vek[@]}" --dir "$(local_path "$dir/prog")" check </dev/null >"$dir/out.txt" 2>&1 || fail "vek check: $(cat "$dir/out.txt")"
# The log of this check, in UTF-8, elapsed seconds masked.
log=$(iconv -f CP932 -t UTF-8 "$dir/prog/veklog.txt" | tr -d '\r' | sed -n '/^  Get /s/([0-9.]*s)/(#s)/p')
if [ $windows = yes ]; then
  other="failed(#s): WinInet error 12038: "
  old="failed(#s): WinInet error 12037: "
else
  other="failed(#s): SSL: no alternative certificate subject name matches target host name 'boards.vek.test'"
  old="failed(#s): SSL certificate problem: certificate has expired"
fi
expected=("  Get ${lines[0]} ... done(#s)" "  Get ${lines[1]} ... done(#s)" "  Get ${lines[2]} ... $other"
          "  Get ${lines[3]} ... $old")
i=0
while IFS= read -r got; do
  # WinInet's own message follows its error number; its words depend on Wine and the language.
  case "$got" in "${expected[$i]}"?*|"${expected[$i]}") ;; *) fail "log line $i: '$got', expected '${expected[$i]}'" ;; esac
  i=$((i + 1))
done <<< "$log"
[ $i = 4 ] || fail "expected 4 board lines in the log, got: $log"
# The bytes of a file are the text given.
holds() { printf '%s' "$2" | cmp -s - "$1"; }
holds "$(cache "${lines[0]}")" "$stored" || fail "the https board's cache: $(cat "$(cache "${lines[0]}")")"
holds "$(cache "${lines[1]}")" "$stored" || fail "the moved board's cache: $(cat "$(cache "${lines[1]}")")"
for line in "${lines[2]}" "${lines[3]}"; do
  holds "$(cache "$line")" "$previous" || fail "a refused board's cache changed: $line"
done
! grep -q '^@@ \(other\|old\) ' "$dir/requests.log" 2>/dev/null || fail "a request reached a refused host"
holds "$dir/prog/failed.txt" "${lines[2]}"$'\r\n'"${lines[3]}"$'\r\n' ||
  fail "failed.txt: $(cat "$dir/prog/failed.txt")"
# The new-thread report links the https board by its https address.
report=$(iconv -f CP932 -t UTF-8 "$dir/host/log/localhost/vek/1000000000.dat")
case "$report" in *"https://boards.vek.test:$(port good)/news/"*) ;; *) fail "no https link in the report: $report" ;; esac
case "$report" in *"http://https"*) fail "a doubled scheme in the report: $report" ;; esac
printf '%s\n' "$log"
echo "vek check over https: as expected"
