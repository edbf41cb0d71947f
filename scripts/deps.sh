#!/usr/bin/env bash
# Installs what building, testing and the demo need on Debian 12 (run as root).
# Skips apt entirely when everything is already there.
#   scripts/deps.sh package   also what scripts/package.sh needs (the man page,
#                             lintian, systemd-analyze, a clean Debian chroot)
set -eu
packages=(
  cmake ninja-build g++ pkg-config zlib1g-dev libcurl4-openssl-dev libgtest-dev googletest
  libbenchmark-dev libcpp-httplib-dev
  g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine wine64
  locales xvfb xauth x11-utils imagemagick fonts-vlgothic
  tinyproxy
  openssl ca-certificates util-linux mount
  clang libclang-rt-14-dev
)
if [ "${1:-}" = package ]; then
  packages+=(scdoc lintian dpkg-dev fakeroot systemd debootstrap)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
# Wine's ANSI code page is 932 only with a generated Japanese locale.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP.utf8$'; then
  sed -i 's/^# *ja_JP.UTF-8 UTF-8/ja_JP.UTF-8 UTF-8/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >> /etc/locale.gen
  locale-gen >/dev/null
fi
