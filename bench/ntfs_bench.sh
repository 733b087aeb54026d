#!/usr/bin/env bash
# Benchmark of the NTFS snapshot against sleuthkit and ntfs-3g on one large image.
#
# Builds once (cached in $UNDELETE_BENCH_DIR, default /var/tmp/undelete-bench) an NTFS image
# with at least 200,000 MFT records: 200 folders of 1000 files (mostly resident, every
# eighth 8 KiB), a quarter of the files deleted. Then, on that image, times
#   undelete   a whole snapshot with the application's options (14)
#   fls -r -d  sleuthkit's listing of deleted entries
#   ntfsundelete --scan   ntfs-3g's listing of deleted files (no tree)
# and prints wall time, peak memory (/usr/bin/time -v) and the ratios. Needs root and
# /dev/fuse to build the image; a benchmark, not a test.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
dir=${UNDELETE_BENCH_DIR:-/var/tmp/undelete-bench}
img=$dir/ntfs-200k.img
folders=200 perfolder=1000
mkdir -p "$dir"

build_image() {
  local tmp mnt pid d f i
  echo "building $img (once) ..."
  rm -f "$img.partial"
  truncate -s 1G "$img.partial"
  mkntfs -F -Q -q -c 4096 -s 512 -L bench "$img.partial" >/dev/null
  tmp=$(mktemp -d /tmp/undelete-bench.XXXXXX)
  mnt=$tmp/mnt
  mkdir "$mnt"
  ntfs-3g -o no_detach,big_writes "$img.partial" "$mnt" >"$tmp/log" 2>&1 &
  pid=$!
  for i in $(seq 100); do mountpoint -q "$mnt" && break; sleep 0.1; done
  mountpoint -q "$mnt" || { cat "$tmp/log"; exit 1; }
  local small big
  small=$(head -c 120 /dev/urandom | base64 -w0)
  head -c 8192 /dev/urandom >"$tmp/big"
  for d in $(seq -w 1 $folders); do
    mkdir "$mnt/d$d"
    for f in $(seq -w 1 $perfolder); do
      if [ $((10#$f % 8)) -eq 0 ]; then cp "$tmp/big" "$mnt/d$d/f$f.bin"
      else printf '%s %s\n' "$small" "$d$f" >"$mnt/d$d/f$f.txt"; fi
    done
  done
  # A quarter deleted: every fourth file of every folder.
  for d in $(seq -w 1 $folders); do
    for f in $(seq -w 4 4 $perfolder); do rm -f "$mnt/d$d/f$f.txt" "$mnt/d$d/f$f.bin"; done
  done
  fusermount -u "$mnt"
  wait "$pid" || true
  rm -rf "$tmp"
  mv "$img.partial" "$img"
}
[ -f "$img" ] || build_image

# The engine in a release build of our own, and the generic snapshot driver over it.
build=$dir/build-ntfs
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DUNDELETE_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target undelete_engine >/dev/null 2>&1
g++ -std=c++20 -O2 -g -I"$root" "$here/snapshot_bench.cpp" -o "$build/snapshot_bench" \
  "$build/engine/libundelete_engine.a" "$build/platform/libundelete_platform.a" -lblkid

records=$(( $(istat "$img" 0 | grep "^Type: \$DATA" | sed -n "s/^.* size: \([0-9]*\).*$/\1/p" | head -1) / 1024 ))
echo "image: $img, $records MFT records"
cat "$img" >/dev/null   # all three read from the page cache

# run NAME COMMAND...: wall seconds and peak KiB into NAME_time / NAME_kib.
run() {
  local name=$1
  shift
  /usr/bin/time -v "$@" >"$dir/$name.out" 2>"$dir/$name.time" || true
  local wall kib
  wall=$(sed -n 's/^\tElapsed (wall clock) time (h:mm:ss or m:ss): //p' "$dir/$name.time" |
    awk -F: '{ s = 0; for (i = 1; i <= NF; i++) s = s * 60 + $i; print s }')
  kib=$(sed -n 's/^\tMaximum resident set size (kbytes): //p' "$dir/$name.time")
  eval "${name}_time=$wall ${name}_kib=$kib"
  printf '%-14s %8.2f s %9d KiB peak   %s\n' "$name" "$wall" "$kib" "$(head -c 120 "$dir/$name.out" | head -1)"
}
run undelete "$build/snapshot_bench" "$img" --options 14
run fls fls -r -d "$img"
run ntfsundelete ntfsundelete --scan "$img"
echo "fls lines: $(wc -l <"$dir/fls.out"), ntfsundelete lines: $(wc -l <"$dir/ntfsundelete.out")"
awk -v u="$undelete_time" -v f="$fls_time" -v n="$ntfsundelete_time" -v k="$undelete_kib" -v r="$records" 'BEGIN {
  printf "fls / undelete: %.1fx   ntfsundelete / undelete: %.1fx   undelete peak per MFT record: %.0f bytes\n",
    f / u, n / u, k * 1024 / r }'
