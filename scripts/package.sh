#!/usr/bin/env bash
# Builds and checks the packages. With no argument: deb zip lint units.
#   deb     the Debian package of vek (cpack)     -> build/package/vek_<version>_amd64.deb
#   zip     the Windows programs with a README    -> build/package/vek-<version>-windows.zip
#   lint    lintian on the Debian package: no errors allowed, warnings listed;
#           its man page renders without a warning and has every section
#   units   the sample systemd units pass systemd-analyze verify, and the
#           service's command line runs a check against the demo's boards
#   chroot  the Debian package installs on a clean Debian 12 (debootstrap,
#           a few minutes the first time), man vek shows the page, and vek
#           checks the demo's boards from another directory
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
root=${VEK_BUILD_ROOT:-$here/build}
out=$root/package
steps=${*:-deb zip lint units}
mkdir -p "$out"
bash "$here/scripts/deps.sh" package

configure_and_pack() {  # build dir, extra cmake arguments...
  local dir=$1
  shift
  cmake -S "$here" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVEK_TESTS=OFF -DVEK_BENCHMARKS=OFF "$@" >/dev/null
  cmake --build "$dir"
  (cd "$dir" && cpack -B "$out" >/dev/null)
}

deb_file() { ls "$out"/vek_*_amd64.deb 2>/dev/null | head -n 1; }

step_deb() {
  rm -f "$out"/vek_*.deb
  # Debian's hardening: fortified functions, read-only relocations bound now.
  configure_and_pack "$root/package-deb" -DCMAKE_CXX_FLAGS="-D_FORTIFY_SOURCE=2" \
    -DCMAKE_EXE_LINKER_FLAGS="-Wl,-z,relro,-z,now"
  echo "built $(deb_file)"
  dpkg-deb --info "$(deb_file)" | sed -n 's/^ \(Depends\|Version\|Installed-Size\):/  \1:/p'
  dpkg-deb --contents "$(deb_file)" | awk '{ print "  " $6 }'
}

step_zip() {
  rm -f "$out"/vek-*-windows.zip
  configure_and_pack "$root/package-windows" -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake"
  local zip
  zip=$(ls "$out"/vek-*-windows.zip)
  echo "built $zip"
  python3 -m zipfile -l "$zip" | sed 's/^/  /'
}

step_lint() {
  [ -n "$(deb_file)" ] || step_deb
  # lintian exits non-zero on errors; warnings and notes are listed.
  lintian --info --display-level '>=warning' "$(deb_file)" || { echo "lintian found errors" >&2; return 1; }
  echo "lintian: no errors"
  check_man_page
}

# The man page as man shows it from the package: no warning from the
# formatter, and every section a reader looks for.
check_man_page() {
  local page=$out/vek.1.gz sections version
  dpkg-deb --fsys-tarfile "$(deb_file)" | tar -xOf - ./usr/share/man/man1/vek.1.gz > "$page" ||
    { echo "the package has no man page" >&2; return 1; }
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l "$page" > "$out/vek.1.txt" 2> "$out/man-warnings.txt"
  sections=$(grep -E '^[A-Z][A-Z ]+$' "$out/vek.1.txt" | tr '\n' ',')
  if [ -s "$out/man-warnings.txt" ]; then
    cat "$out/man-warnings.txt" >&2
    echo "man vek: the formatter warns" >&2
    return 1
  fi
  local want="NAME,SYNOPSIS,DESCRIPTION,COMMANDS,OPTIONS,FILES,ENVIRONMENT,EXIT STATUS,EXAMPLES,SEE ALSO,"
  [ "$sections" = "$want" ] || { echo "man vek: sections $sections, expected $want" >&2; return 1; }
  version=$(dpkg-deb --field "$(deb_file)" Version)
  tail -n 1 "$out/vek.1.txt" | grep -q "^VEK $version " || { echo "man vek: not the version $version" >&2; return 1; }
  echo "man vek: renders without warnings, sections ${want%,}"
}

# The service's ExecStart with %h and /usr/bin/vek standing for this test's
# home and the binary just built.
service_command() {  # home, vek binary
  sed -n 's/^ExecStart=//p' "$here/contrib/systemd/vek-check.service" |
    sed -e "s|%h|$1|g" -e "s|/usr/bin/vek|$2|"
}

step_units() {
  bash "$here/scripts/build.sh" native --target vek vek-board-server >/dev/null
  local vek=$root/native/vek units=$out/units
  rm -rf "$units"
  mkdir -p "$units"
  service_command /root "$vek" >/dev/null
  sed "s|/usr/bin/vek|$vek|" "$here/contrib/systemd/vek-check.service" > "$units/vek-check.service"
  cp "$here/contrib/systemd/vek-check.timer" "$units/"
  # The man page is checked by the chroot step, where the package is installed.
  (cd "$units" && systemd-analyze verify --man=no vek-check.service vek-check.timer)
  echo "systemd-analyze verify: the service and the timer pass"

  bash "$here/scripts/demo.sh" --setup-only >/dev/null
  local demo=$root/demo home=$units/home
  trap 'kill "$(cat "$root/demo/server.pid")" 2>/dev/null || true' RETURN
  local prog=$home/.config/vek
  "$vek" --dir "$prog" config dorvella.Directory "$demo/host"
  "$vek" --dir "$prog" config VEK.PrimarySuffixes "$("$vek" --dir "$demo/prog" config VEK.PrimarySuffixes)"
  local command
  command=$(service_command "$home" "$vek")
  echo "running the service's command: $command"
  (cd / && HOME=$home $command > "$units/check.log")
  grep -q '^\*\*\*\*\* Done!! \*\*\*\*\*' "$units/check.log"
  grep -q "  AppPath: $prog/" "$units/check.log"
  [ -s "$demo/host/\$\$\$\$\$\$\$\$.idx" ]
  echo "the service's command ran a check of the demo's boards (log: $units/check.log)"
}

step_chroot() {
  [ -n "$(deb_file)" ] || step_deb
  # A pristine system is kept and copied for every run, so each run installs
  # on a clean one.
  local base=$out/chroot-base chroot=$out/chroot
  if [ ! -x "$base/usr/bin/apt-get" ]; then
    rm -rf "$base"
    debootstrap --variant=minbase bookworm "$base" http://deb.debian.org/debian >"$out/debootstrap.log"
  fi
  rm -rf "$chroot"
  cp -a "$base" "$chroot"
  bash "$here/scripts/build.sh" native --target vek vek-board-server >/dev/null
  bash "$here/scripts/demo.sh" --setup-only >/dev/null
  local demo=$root/demo
  mount --bind /proc "$chroot/proc"
  trap 'umount "$out/chroot/proc" 2>/dev/null || true; kill "$(cat "$root/demo/server.pid")" 2>/dev/null || true' RETURN
  # The demo's folders, seen from inside the chroot as /demo.
  rm -rf "$chroot/demo"
  cp -a "$demo" "$chroot/demo"
  cp "$(deb_file)" "$chroot/tmp/"
  local suffixes
  suffixes=$("$root/native/vek" --dir "$demo/prog" config VEK.PrimarySuffixes)
  chroot "$chroot" /bin/bash -eu -c "
    export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
    apt-get update -q >/dev/null
    apt-get install -y -q --no-install-recommends man-db systemd /tmp/$(basename "$(deb_file)") >/dev/null
    echo \"installed: \$(dpkg-query -W vek)\"
    vek --version
    man vek | head -n 8
    systemd-analyze verify /usr/share/doc/vek/examples/vek-check.service /usr/share/doc/vek/examples/vek-check.timer
    echo 'systemd-analyze verify passes on the installed units (man page included)'
    useradd -m reader 2>/dev/null || true
    chown -R reader /demo
    su reader -c 'cd /tmp && vek config dorvella.Directory /demo/host && vek config VEK.PrimarySuffixes \"$suffixes\" &&
                  vek check > /tmp/check.log && ls ~/.config/vek'
    grep -F 'AppPath: /home/reader/.config/vek/' /tmp/check.log
    grep -F '***** Done!! *****' /tmp/check.log
  "
  echo "the package installs on a clean Debian 12 and checks the demo's boards"
}

for s in $steps; do
  echo "=== package: $s"
  "step_$s"
done
