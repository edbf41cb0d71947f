#!/usr/bin/env bash
# The build a newcomer types after scripts/deps.sh, with nothing of ours
# around it:  cmake -S . -B DIR -DCMAKE_BUILD_TYPE=Release && cmake --build DIR
#   scripts/plain-build.sh [--without DEBIAN-PACKAGE]... [DIR]   (DIR default: build/plain)
# --without builds as if that package were not installed: its files (headers,
# pkg-config and CMake files, library links; not its documents) are hidden in
# a private mount namespace for this build alone, while the system and every
# other build keep them (root only). A missing optional part must then be left
# out, or the configure step must stop and name the package; never a compiler
# error.
set -eu
here=$(cd "$(dirname "$0")/.." && pwd)
hide=()
while [ $# -gt 0 ]; do
  case $1 in
    --without) hide+=("$2"); shift 2 ;;
    *) break ;;
  esac
done
dir=${1:-$here/build/plain}
# The commands above, as they are; only the number of compiler jobs is ours.
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-${VEK_JOBS:-$(nproc)}}
build="cd '$here' && cmake -S . -B '$dir' -DCMAKE_BUILD_TYPE=Release && cmake --build '$dir'"
if [ ${#hide[@]} -eq 0 ]; then
  exec bash -c "$build"
fi

# The topmost folders holding a file to hide each get an overlay whose upper
# layer has a whiteout for every such file below it; the upper layers live on
# a tmpfs of the namespace. (An overlay cannot be stacked on another here, so
# a subfolder never gets one of its own.)
files=$(dpkg -L "${hide[@]}" | grep -v '^/usr/share/doc/' | while read -r f; do
  if [ -f "$f" ] || [ -L "$f" ]; then echo "$f"; fi
done)
[ -n "$files" ] || { echo "plain-build: no files to hide for ${hide[*]}" >&2; exit 2; }
echo "plain-build: building without ${hide[*]} ($(echo "$files" | wc -l) files hidden)"
scratch=$(mktemp -d)
trap 'rmdir "$scratch"' EXIT
unshare -m --propagation private bash -eu -c '
  scratch=$3
  mount -t tmpfs vek-plain-build "$scratch"
  roots=
  for folder in $(for f in $1; do echo "${f%/*}"; done | sort -u); do
    covered=
    for root in $roots; do
      case $folder/ in "$root"/*) covered=yes ;; esac
    done
    [ -n "$covered" ] || roots="$roots $folder"
  done
  n=0
  for root in $roots; do
    n=$((n + 1))
    mkdir -p "$scratch/$n/up" "$scratch/$n/work"
    for f in $1; do
      case $f in "$root"/*)
        mkdir -p "$(dirname "$scratch/$n/up/${f#"$root"/}")"
        mknod "$scratch/$n/up/${f#"$root"/}" c 0 0 ;;
      esac
    done
    mount -t overlay overlay -o "lowerdir=$root,upperdir=$scratch/$n/up,workdir=$scratch/$n/work" "$root"
  done
  eval "$2"
' plain-build "$files" "$build" "$scratch"
