#!/usr/bin/env bash
# Takes screenshots of vek.exe under Wine and a headless X server, at 100 %
# and at 150 % display scaling, after a check of a host folder C:\Dorvella\
# with several boards served by the loopback board server (one of them
# failing):
#   main-window.png,  main-window-150.png   the main window after the check
#   ignore-list.png,  ignore-list-150.png   the ignore list view
#   menu.png,         menu-150.png          the open menu "設定B(&2)"
#   tray.png                                the tray icon during the check (enlarged)
#   layout.txt,       layout-150.txt        the window's and controls' sizes
#   balloon.png                             the completion notice from the tray icon
# Output folder: the first argument, default build/screenshots. The Wine
# prefix is one of its own (build/wineprefix-screenshots): the scaling is a
# setting of the whole prefix, which the tests' prefix must keep at 100 %.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$here/build/screenshots}")
bash "$here/scripts/deps.sh"
bash "$here/scripts/build.sh" windows --target vek_gui vek-probe >/dev/null
bash "$here/scripts/build.sh" native --target vek-board-server >/dev/null
root=${VEK_BUILD_ROOT:-$here/build}
export VEK_WINEPREFIX=${VEK_SCREENSHOT_PREFIX:-$root/wineprefix-screenshots}
win=$root/windows
server=$root/native/tools/vek-board-server
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Three hosts: news and game on the first (news answers after two seconds,
# so the tray shows a frame of the check), anime and tech on the second,
# comic on the third, which answers 503.
board() {  # host/board, subject.txt lines (UTF-8), board.conf lines
  mkdir -p "$work/boards/$1"
  printf '%b' "$2" | iconv -f UTF-8 -t CP932 > "$work/boards/$1/subject.txt"
  printf '%b' "$3" > "$work/boards/$1/board.conf"
}
board a/news '1000000009.dat<>【速報】新しいスレ (3)\n1000000001.dat<>今日のニュースを語るスレ Part12 (512)\n1000000002.dat<>ローカルニュース総合 (88)\n' 'delay 2000\n'
board a/game '1100000005.dat<>新作ゲーム発売日スレ (12)\n1100000001.dat<>レトロゲーム雑談 Part3 (230)\n1100000002.dat<>攻略情報まとめ (41)\n' ''
board b/anime '1200000001.dat<>今期アニメ総合 (731)\n1200000002.dat<>作画について語る (64)\n' ''
board b/tech '1300000001.dat<>自作PC相談室 Part45 (990)\n1300000002.dat<>プログラミング初心者質問 (120)\n' ''
board c/comic '' 'status 503\n'

cat > "$work/shoot.sh" <<'SHOOT'
set -u
work=$1; out=$2; win=$3; server=$4; here=$5
run() { bash "$here/scripts/wine-run.sh" "$@"; }
probe() { run "$win/tests/vek-probe.exe" "$@"; }
# Wine draws the caption buttons with its Marlett font. Debian's fonts-wine
# puts it in /usr/share/wine/fonts, but Wine 8 takes TrueType fonts only from
# the prefix's own Fonts folder and from fontconfig's folders (its data
# folder only serves the bitmap fonts the registry names), and wineboot
# copies none there: without this copy the buttons show the letters "0 1 r".
run cmd /c exit >/dev/null 2>&1  # creates the prefix on first use
fonts=$VEK_WINEPREFIX/drive_c/windows/Fonts
[ -f "$fonts/marlett.ttf" ] || cp /usr/share/wine/fonts/marlett.ttf "$fonts/"

"$server" --root "$work/boards" --ports-file "$work/ports" --quiet --time-limit 600 &
for _ in $(seq 100); do [ -f "$work/ports" ] && break; sleep 0.1; done
port() { sed -n "s/^host $1 //p" "$work/ports"; }

# The host folder C:\Dorvella\ with three thread list files, and vek.exe in C:\VEK\.
world() {
  local drive=$VEK_WINEPREFIX/drive_c
  rm -rf "$drive/Dorvella" "$drive/VEK"
  mkdir -p "$drive/Dorvella/log" "$drive/VEK"
  cp "$win/vek.exe" "$drive/VEK/vek.exe"
  : > "$drive/Dorvella/favorite.idx"
  local host board key title count h list
  while IFS=: read -r host board key title count list; do
    h=$(port "$host"); h=${h/:/%3A}
    mkdir -p "$drive/Dorvella/log/$h/$board"
    printf '1\t0\t0\t%s\t%s\t%s\t%s\t%s\t%s\t-1\t2026/11/30 21:00:00\t\t\t0\t\t\t0\t\t\t\t\r\n' \
      "$title" "$(port "$host")" "$board" "$key" "$count" "$count" |
      iconv -f UTF-8 -t CP932 > "$drive/Dorvella/log/$h/$board/$key.idx"
    printf '%s\\%s\\%s.idx\r\n' "$h" "$board" "$key" >> "$drive/Dorvella/$list"
  done <<'THREADS'
a:news:1000000001:今日のニュースを語るスレ Part12:480:favorite.idx
a:news:1000000002:ローカルニュース総合:88:favorite.idx
a:news:1000000003:落ちたスレ:30:favorite.idx
a:game:1100000001:レトロゲーム雑談 Part3:215:favorite.idx
a:game:1100000002:攻略情報まとめ:41:work.idx
b:anime:1200000001:今期アニメ総合:700:favorite.idx
b:anime:1200000002:作画について語る:64:favorite.idx
b:tech:1300000001:自作PC相談室 Part45:990:work.idx
c:comic:1400000001:漫画雑談スレ:55:favorite.idx
THREADS
  printf '%s\\comic\\1400000001.idx\r\n' "$(port c | sed 's/:/%3A/')" |
    iconv -f UTF-8 -t CP932 > "$drive/Dorvella/実況.idx"
  printf '[dorvella]\r\nDirectory=C:\\Dorvella\\\r\n[VEK]\r\nPrimarySuffixes=127.0.0.2;127.0.0.3;127.0.0.4\r\nNotifySound=0\r\nFailedReport=0\r\nIgnoreIdxList=work.idx;\r\n' > "$drive/VEK/vek.ini"
  touch -d '-1 hour' "$drive/VEK/vek.ini"
}

# One start at a scaling (96 or 144 dpi): the check, then the pictures.
shoot() {
  local dpi=$1 suffix=$2 scale=$(( $1 * 100 / 96 ))
  WINEPREFIX=$VEK_WINEPREFIX wineserver -k 2>/dev/null
  for key in 'HKCU\Control Panel\Desktop' 'HKLM\System\CurrentControlSet\Hardware Profiles\Current\Software\Fonts'; do
    run reg add "$key" /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
  done
  WINEPREFIX=$VEK_WINEPREFIX wineserver -w
  world
  run 'C:\VEK\vek.exe' /autostart >/dev/null 2>&1 &
  probe wait-visible 60
  probe wait-title 'VEK [3/7]' 30
  sleep 0.5
  # The notification area is the "Wine System Tray" window at the top left.
  [ -z "$suffix" ] && /usr/bin/import -window root -crop 24x24+0+18 +repage -filter point -resize 400% "$out/tray.png"
  probe wait-idle 30
  # The log pane shows the last lines with its next bunch.
  probe wait-log 'Done!!' 30
  sleep 0.5
  probe layout > "$out/layout$suffix.txt"
  local id
  id=$(xwininfo -root -tree | awk '/"VEK"/ {print $1; exit}')
  /usr/bin/import -window "$id" "$out/main-window$suffix.png"
  probe open-menu 2
  sleep 1
  read -r x y <<<"$(xwininfo -id "$id" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4} END {print x" "y}')"
  /usr/bin/import -window root -crop $(( 520 * scale / 100 ))x$(( 260 * scale / 100 ))+$x+$y +repage "$out/menu$suffix.png"
  probe open-menu 2 >/dev/null   # closes it again
  sleep 0.5
  probe click '除外指定'
  sleep 1
  /usr/bin/import -window "$id" "$out/ignore-list$suffix.png"
  probe close
  WINEPREFIX=$VEK_WINEPREFIX wineserver -w
}
# Once more at 100 % with the completion notice on: the balloon rises from
# the tray icon at the top left a few seconds after the check is done.
balloon() {
  world
  sed -i 's/^\[VEK\]\r$/[VEK]\r\nNotifyBalloon=1\r/' "$VEK_WINEPREFIX/drive_c/VEK/vek.ini"
  touch -d '-1 hour' "$VEK_WINEPREFIX/drive_c/VEK/vek.ini"  # sed gave it a new stamp
  run 'C:\VEK\vek.exe' /autostart >/dev/null 2>&1 &
  probe wait-visible 60
  probe wait-title 'VEK [3/7]' 30
  probe wait-idle 30
  sleep 4
  /usr/bin/import -window root -crop 200x125+0+0 +repage "$out/balloon.png"
  probe close
  WINEPREFIX=$VEK_WINEPREFIX wineserver -w
}
shoot 96 ''
balloon
shoot 144 '-150'
rm -f "$work/ports"
WINEPREFIX=$VEK_WINEPREFIX wineserver -k 2>/dev/null || true
SHOOT
xvfb-run -a -s "-screen 0 1280x1024x24" bash "$work/shoot.sh" "$work" "$out" "$win" "$server" "$here"
ls -l "$out"
