#!/usr/bin/env bash
# FAT32 benchmark: a whole snapshot (options 14, deep scan included) against sleuthkit's
# `fls -r -d`, on a FAT32 image of 100,000 files in 100 folders with a quarter deleted.
# The image is built once and cached (UNDELETE_BENCH_CACHE, default /var/tmp/undelete-bench).
#   bench/fat_bench.sh [BUILD_DIR]     BUILD_DIR holds the built engine (default build-bench,
#                                      configured here without sanitizers)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build-bench}
cache=${UNDELETE_BENCH_CACHE:-/var/tmp/undelete-bench}
img=$cache/fat32_100k.img
export MTOOLS_SKIP_CHECK=1 LC_ALL=C TZ=UTC
mkdir -p "$cache"

if [ ! -f "$img" ]; then
  echo "building $img (once)" >&2
  tmp=$(mktemp -d "$cache/build.XXXXXX")
  trap 'rm -rf "$tmp"' EXIT
  # 100 folders of 1000 files, 100..1100 bytes each, deterministic. 8.3 names: mtools checks
  # every new long name against the whole folder, which makes long names very slow to copy.
  perl -e '
    my $root = shift; srand(7);
    for my $d (0..99) {
      my $dir = sprintf("%s/tree/D%03d", $root, $d); mkdir "$root/tree"; mkdir $dir;
      for my $f (0..999) {
        open(my $h, ">", sprintf("%s/F%04d.DAT", $dir, $f)) or die;
        print $h chr(65 + ($f % 26)) x (100 + int(rand(1000))); close $h;
      }
    }' "$tmp"
  mkfs.fat -C -F 32 -s 1 -S 512 -n BENCH --invariant "$tmp/img" $((200 * 1024)) >/dev/null
  mcopy -i "$tmp/img" -s -m "$tmp/tree/"* ::/
  # A quarter deleted: every file whose number is a multiple of 4.
  for d in $(seq -f '%03g' 0 99); do
    args=()
    for n in $(seq -f '%02g' 0 4 96); do args+=("::/D$d/F??$n.DAT"); done
    mdel -i "$tmp/img" "${args[@]}"
  done
  mv "$tmp/img" "$img"
fi

if [ ! -x "$build/snapshot_bench" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release -DUNDELETE_SANITIZE=OFF -DUNDELETE_TESTS=OFF >/dev/null
  cmake --build "$build" -j2 --target undelete_engine >/dev/null
  g++ -std=c++20 -O2 -I"$here" "$here/bench/snapshot_bench.cpp" "$build/engine/libundelete_engine.a" \
    "$build/platform/libundelete_platform.a" -lblkid -o "$build/snapshot_bench"
fi

deleted=$(fls -r -d "$img" | grep -c '^r/r \*' || true)
echo "image: $img ($(du -h --apparent-size "$img" | cut -f1)), deleted files listed by fls: $deleted"

measure() {  # prints "seconds peak_kib" of the command
  local log
  log=$(mktemp)
  /usr/bin/time -v "$@" >/dev/null 2>"$log"
  local wall peak
  wall=$(sed -n 's/.*Elapsed (wall clock) time.*: //p' "$log" | awk -F: '{ if (NF == 3) print $1*3600 + $2*60 + $3; else print $1*60 + $2 }')
  peak=$(sed -n 's/.*Maximum resident set size (kbytes): //p' "$log")
  rm -f "$log"
  echo "$wall $peak"
}

cat "$img" >/dev/null   # both tools read from the page cache
read -r ours ours_kib < <(measure "$build/snapshot_bench" "$img" --options 14)
read -r theirs theirs_kib < <(measure fls -r -d "$img")
"$build/snapshot_bench" "$img" --options 14
echo "snapshot (options 14): ${ours}s, peak ${ours_kib} KiB"
echo "fls -r -d:             ${theirs}s, peak ${theirs_kib} KiB"
awk -v a="$ours" -v b="$theirs" 'BEGIN { if (a > 0) printf "ratio fls/snapshot: %.1f\n", b / a }'
