#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's prefix and settings:
# code page 932, no debug chatter, no Mono/Gecko prompts. Creates the prefix
# on first use (once, under a lock, so parallel tests do not race).
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX=${VEK_WINEPREFIX:-$here/build/wineprefix}
export WINEDEBUG=-all
export LC_ALL=${VEK_WINE_LC_ALL:-ja_JP.UTF-8}  # another locale: another ANSI code page
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      env -u DISPLAY wineboot -i >/dev/null 2>&1
      wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
      wineserver -w
    fi
  ) 9>"$WINEPREFIX.lock"
fi
# The window's font names, mapped to the Japanese fonts Debian has (a setting
# of this test prefix, not of the program). Added once, also to older prefixes.
if [ ! -f "$WINEPREFIX/.vek-fonts" ]; then
  (
    flock 9
    if [ ! -f "$WINEPREFIX/.vek-fonts" ]; then
      key='HKCU\Software\Wine\Fonts\Replacements'
      wine reg add "$key" /v 'ＭＳ Ｐゴシック' /d 'VL PGothic' /f >/dev/null 2>&1 &&
        wine reg add "$key" /v 'ＭＳ ゴシック' /d 'VL Gothic' /f >/dev/null 2>&1 &&
        wineserver -w && touch "$WINEPREFIX/.vek-fonts"
    fi
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
