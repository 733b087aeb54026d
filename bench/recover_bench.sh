#!/usr/bin/env bash
# Times `undelete recover` of every deleted file against sleuthkit's `tsk_recover` (which
# by default writes out the unallocated, that is deleted, files) on the same image, one
# timed run each, and prints both times, what each wrote, and the ratio.
#
# usage: bench/recover_bench.sh [IMAGE]
#   IMAGE  a FAT or NTFS volume image; without it a 256 MiB FAT32 image is made here with
#          mkfs.fat and mtools: 300 files of 4 KiB to 1 MiB in 10 folders, all deleted.
# UNDELETE=path picks the binary; by default a Release build is made in build-bench/.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/undelete-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

undelete=${UNDELETE:-}
if [ -z "$undelete" ]; then
  cmake -S "$here" -B "$here/build-bench" -DCMAKE_BUILD_TYPE=Release -DUNDELETE_TESTS=OFF >/dev/null
  cmake --build "$here/build-bench" -j2 --target undelete >/dev/null
  undelete=$here/build-bench/cli/undelete
fi

image=${1:-}
if [ -z "$image" ]; then
  image=$work/bench_fat32.img
  export MTOOLS_SKIP_CHECK=1
  mkfs.fat -C -F 32 -n BENCH "$image" $((256 * 1024)) >/dev/null
  mkdir -p "$work/tree"
  for d in $(seq 0 9); do
    mkdir -p "$work/tree/dir$d"
    for f in $(seq 0 29); do
      # Sizes spread from 4 KiB to about 1 MiB, deterministic.
      size=$(( (4096 + (d * 30 + f) * 104729 % (1024 * 1024)) ))
      head -c "$size" /dev/urandom >"$work/tree/dir$d/file$f.bin"
    done
  done
  mcopy -s -i "$image" "$work/tree"/* ::/
  for d in $(seq 0 9); do mdeltree -i "$image" "::/dir$d"; done
  rm -rf "$work/tree"
fi

seconds() { date +%s.%N; }
summary() { find "$1" -type f | wc -l | tr -d ' '; }
bytes() { du -sb "$1" | cut -f1; }

mkdir -p "$work/undelete" "$work/tsk"
t0=$(seconds)
"$undelete" recover "$image" --to "$work/undelete" --keep-paths --all-chances >/dev/null || true
t1=$(seconds)
tsk_recover "$image" "$work/tsk" >/dev/null
t2=$(seconds)

u=$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }')
s=$(awk -v a="$t1" -v b="$t2" 'BEGIN { printf "%.3f", b - a }')
printf 'image:          %s (%s bytes)\n' "$image" "$(stat -c %s "$image")"
printf 'undelete:       %8.3f s  %5s files  %12s bytes\n' "$u" "$(summary "$work/undelete")" "$(bytes "$work/undelete")"
printf 'tsk_recover:    %8.3f s  %5s files  %12s bytes\n' "$s" "$(summary "$work/tsk")" "$(bytes "$work/tsk")"
awk -v u="$u" -v s="$s" 'BEGIN { printf "ratio undelete/tsk_recover: %.2f\n", (s > 0 ? u / s : 0) }'
