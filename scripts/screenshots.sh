#!/usr/bin/env bash
# Takes screenshots of vek.exe under Wine and a headless X server, over a
# small sample host directory served by the loopback board server:
#   main-window.png   the main window after a check
#   ignore-list.png   the ignore list view
#   menu.png          the open menu "設定B(&2)" with its check marks
#   tray.png          the tray icon during a check (enlarged)
#   balloon.png       the completion notice from the tray icon after a check
# Output folder: the first argument, default build/screenshots.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$here/build/screenshots}")
bash "$here/scripts/deps.sh"
bash "$here/scripts/build.sh" windows --target vek_gui vek-probe >/dev/null
bash "$here/scripts/build.sh" native --target vek-board-server >/dev/null
export VEK_WINEPREFIX=${VEK_WINEPREFIX:-${VEK_BUILD_ROOT:-$here/build}/wineprefix}
win=${VEK_BUILD_ROOT:-$here/build}/windows
server=${VEK_BUILD_ROOT:-$here/build}/native/tools/vek-board-server
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One board on 127.0.0.2 that answers after two seconds, three watched threads.
mkdir -p "$work/boards/a/news" "$work/host/log" "$work/prog"
printf '1000000004.dat<>新しいスレ (1)\n1000000001.dat<>伸びているスレ (15)\n1000000002.dat<>変化なしのスレ (20)\n' |
  iconv -f UTF-8 -t CP932 > "$work/boards/a/news/subject.txt"
echo 'delay 2000' > "$work/boards/a/news/board.conf"
cp "$win/vek.exe" "$work/prog/vek.exe"

cat > "$work/shoot.sh" <<'SHOOT'
set -u
work=$1; out=$2; win=$3; server=$4; here=$5
run() { bash "$here/scripts/wine-run.sh" "$@"; }
probe() { run "$win/tests/vek-probe.exe" "$@"; }
"$server" --root "$work/boards" --ports-file "$work/ports" --quiet --time-limit 300 &
for _ in $(seq 100); do [ -f "$work/ports" ] && break; sleep 0.1; done
hostport=$(sed -n 's/^host a //p' "$work/ports")
h=${hostport/:/%3A}
for key in 1000000001:伸びているスレ:10 1000000002:変化なしのスレ:20 1000000003:落ちたスレ:30; do
  IFS=: read -r k title n <<<"$key"
  mkdir -p "$work/host/log/$h/news"
  printf '1\t0\t0\t%s\t%s\tnews\t%s\t%s\t%s\t-1\t2026/11/30 21:00:00\t\t\t0\t\t\t0\t\t\t\t\r\n' "$title" "$hostport" "$k" "$n" "$n" |
    iconv -f UTF-8 -t CP932 > "$work/host/log/$h/news/$k.idx"
  printf '%s\\news\\%s.idx\r\n' "$h" "$k" >> "$work/host/favorite.idx"
done
printf '%s\\news\\1000000002.idx\r\n' "$h" > "$work/host/work.idx"
dir=$(echo "Z:$work/host/" | tr / '\\')
printf '[dorvella]\r\nDirectory=%s\r\n[VEK]\r\nPrimarySuffixes=127.0.0.2\r\nNotifySound=0\r\nFailedReport=0\r\nIgnoreIdxList=work.idx;\r\n' "$dir" > "$work/prog/vek.ini"
touch -d '-1 hour' "$work/prog/vek.ini"

run "$work/prog/vek.exe" /autostart >/dev/null 2>&1 &
probe wait-visible 60
probe wait-title 'VEK [3/7]' 30
sleep 0.5
# The notification area is the "Wine System Tray" window at the top left.
/usr/bin/import -window root -crop 24x24+0+18 +repage -filter point -resize 400% "$out/tray.png"
probe wait-idle 30
sleep 0.5
id=$(xwininfo -root -tree | awk '/"VEK"/ {print $1; exit}')
/usr/bin/import -window "$id" "$out/main-window.png"
probe open-menu 2
sleep 1
geometry=$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x" "y}')
read -r x y <<<"$geometry"
/usr/bin/import -window root -crop 520x260+$x+$y +repage "$out/menu.png"
probe open-menu 2 >/dev/null   # closes it again (Escape would do too)
sleep 0.5
probe click '除外指定'
sleep 1
/usr/bin/import -window "$id" "$out/ignore-list.png"
probe close
sleep 2
# Again with the completion notice on, the last check an hour back: the
# balloon rises from the tray icon at the top left when the check is done.
sed -i 's/^\[VEK\]\r$/[VEK]\r\nNotifyBalloon=1\r/' "$work/prog/vek.ini"
touch -d '-1 hour' "$work/prog/vek.ini"
run "$work/prog/vek.exe" /autostart >/dev/null 2>&1 &
probe wait-visible 60
probe wait-title 'VEK [3/7]' 30
probe wait-idle 30
# Wine's tray raises the balloon a few seconds after it was asked for.
sleep 4
/usr/bin/import -window root -crop 320x120+0+0 +repage "$out/balloon.png"
probe close
sleep 2
rm -f "$work/ports"
WINEPREFIX=$VEK_WINEPREFIX wineserver -k
SHOOT
xvfb-run -a -s "-screen 0 1024x768x24" bash "$work/shoot.sh" "$work" "$out" "$win" "$server" "$here"
ls -l "$out"
