#!/usr/bin/env bash
# The demo: builds vek and the loopback board server, prepares a sample host
# directory and program directory under build/demo/, runs a real check against
# the boards served from loopback, shows what it wrote, lets the boards move on
# and runs a second check.
#   scripts/demo.sh --setup-only   prepare build/demo/ and leave the board server
#                                  running (its process id in build/demo/server.pid)
set -eu
setup_only=0
[ "${1:-}" = "--setup-only" ] && setup_only=1
here=$(cd "$(dirname "$0")/.." && pwd)
root=${VEK_BUILD_ROOT:-$here/build}
demo=$root/demo

step() { printf '\n\033[1m=== %s\033[0m\n' "$*"; }

step "Packages and build"
bash "$here/scripts/deps.sh"
bash "$here/scripts/build.sh" native --target vek vek-board-server
vek=$root/native/vek
server_bin=$(find "$root/native" -name vek-board-server -type f -perm -u+x | head -n 1)
[ -x "$vek" ] && [ -n "$server_bin" ] || { echo "demo: the build did not produce vek and vek-board-server" >&2; exit 1; }

# Every text file of the host browser and of vek is code page 932; the demo's
# data is kept in UTF-8 so that it reads well in the repository.
to_cp932() { iconv -f UTF-8 -t CP932 "$1" > "$2"; }
to_terminal() { iconv -f CP932 -t UTF-8 | tr -d '\r'; }

step "Scratch folder $demo"
rm -rf "$demo"
mkdir -p "$demo/boards" "$demo/host/log" "$demo/prog"
(cd "$here/demo/boards" && find . -type d) | while read -r d; do mkdir -p "$demo/boards/$d"; done
(cd "$here/demo/boards" && find . -type f) | while read -r f; do
  case "$f" in
    *.txt) to_cp932 "$here/demo/boards/$f" "$demo/boards/$f" ;;
    *) cp "$here/demo/boards/$f" "$demo/boards/$f" ;;
  esac
done

step "Loopback board server"
ports=$demo/ports.txt
"$server_bin" --root "$demo/boards" --ports-file "$ports" --time-limit 600 --log "$demo/requests.log" \
  > "$demo/server.out" 2>&1 &
server_pid=$!
trap 'kill "$server_pid" 2>/dev/null || true' EXIT
for _ in $(seq 1 100); do [ -s "$ports" ] && grep -q '^ready' "$ports" && break; sleep 0.1; done
grep -q '^ready' "$ports" || { echo "demo: the board server did not start" >&2; cat "$demo/server.out" >&2; exit 1; }
sed -n 's/^host /  /p' "$ports"
address_of() { awk -v h="$1" '$1 == "host" && $2 == h { print $3 }' "$ports"; }
news_host=$(address_of a-news)   # 127.0.0.2:port, a host of the primary network
game_host=$(address_of b-game)   # 127.0.0.3:port, another one
ext_host=$(address_of c-ext)     # 127.0.0.4:port, an outside board

step "Sample host directory and program directory"
# Thread paths name the host with ":" written "%3A", as the host browser does.
path_host() { printf '%s' "${1/:/%3A}"; }
tab=$'\t'
while IFS='|' read -r list hostkey board key title server local mark flags; do
  case "$list" in ''|'#'*) continue ;; esac
  case "$hostkey" in
    news) addr=$news_host; dir="$(path_host "$news_host")\\$board" ;;
    game) addr=$game_host; dir="$(path_host "$game_host")\\$board" ;;
    ext)  addr=$ext_host;  dir="ext.example.net\\$board" ;;
  esac
  rel="$dir\\$key.idx"
  file="$demo/host/log/${rel//\\//}"
  mkdir -p "$(dirname "$file")"
  record="1${tab}${flags}${tab}0${tab}${title}${tab}${addr}${tab}${board}${tab}${key}${tab}${server}${tab}${local}"
  record+="${tab}${mark}${tab}2026/12/01 20:00:00${tab}${tab}${tab}0${tab}${tab}${tab}0${tab}${tab}${tab}${tab}"
  printf '%s\r\n' "$record" | iconv -f UTF-8 -t CP932 > "$file"
  printf '%s\r\n' "$rel" >> "$demo/host/$list"
done < "$here/demo/threads.txt"
: > "$demo/host/favboard.idx"
# The settings, as a user sets them: the host browser's folder, and the
# loopback addresses standing in for the primary network.
"$vek" --dir "$demo/prog" config dorvella.Directory "$demo/host"
"$vek" --dir "$demo/prog" config VEK.PrimarySuffixes "${news_host%%:*};${game_host%%:*}"
"$vek" --dir "$demo/prog" config VEK.NotifySound 0
echo "  host directory:    $demo/host"
echo "  program directory: $demo/prog"
for list in favorite.idx work.idx; do
  echo "  thread list file:  $list ($(wc -l < "$demo/host/$list") threads)"
done
echo "  favboard.idx (the host browser's board list) is never read as a thread list"

if [ $setup_only = 1 ]; then
  trap - EXIT
  echo "$server_pid" > "$demo/server.pid"
  exit 0
fi

# A report board's thread log, readable: one response per line of the file,
# the HTML of the bodies turned into plain lines.
show_board() {
  to_terminal < "$1" | awk -F',' '
    {
      name = $1; date = $3; body = $4; title = $5
      gsub(/<[^>]*>/, "", name)
      gsub(/<[bB][rR]>/, "\n      ", body)
      gsub(/&nbsp;/, " ", body)
      gsub(/<[^>]*>/, "", body)
      gsub(/(\n      )+$/, "", body)
      if (body == "") body = "(no new threads)"
      if (title != "") print "  [" title "]"
      printf "  %d %s  %s\n      %s\n\n", NR, name, date, body
    }'
}

show_results() {
  step "The new-arrival list (host/\$\$\$\$\$\$\$\$.idx)"
  to_terminal < "$demo/host/\$\$\$\$\$\$\$\$.idx" | sed 's/^/  /'
  step "Report board: threads that fell (log/localhost/vek/1030000000.dat)"
  if [ -f "$demo/host/log/localhost/vek/1030000000.dat" ]; then
    show_board "$demo/host/log/localhost/vek/1030000000.dat"
  else
    echo "  (none yet)"
  fi
  step "Report board: new threads (log/localhost/vek/1000000000.dat)"
  show_board "$demo/host/log/localhost/vek/1000000000.dat"
  if [ -f "$demo/prog/failed.txt" ]; then
    step "failed.txt"
    to_terminal < "$demo/prog/failed.txt" | sed 's/^/  /'
  fi
}

step "First check: vek check --dir $demo/prog"
"$vek" check --dir "$demo/prog"
show_results

step "Meanwhile the boards move on"
for f in a-news/news/subject.txt b-game/game/subject.txt; do
  to_cp932 "$here/demo/later/$f" "$demo/boards/$f"
  echo "  $f: $(wc -l < "$demo/boards/$f") threads"
done
# VEK refuses a check within 3 minutes of the last one (it reads that from the
# settings file's time stamp). Instead of waiting, the demo moves the stamp back.
echo "  (the settings file's time stamp is moved back 4 minutes instead of waiting 3 minutes)"
touch -d '4 minutes ago' "$demo/prog/vek.ini"

step "Second check, a little later"
"$vek" check --dir "$demo/prog"
show_results

step "The log file (prog/veklog.txt) holds the last command's log; the demo's files stay in $demo"
