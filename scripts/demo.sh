#!/usr/bin/env bash
# Installs what is needed, builds the undelete command, makes sample FAT and NTFS
# images with deleted files, and runs the main job on them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DUNDELETE_TESTS=OFF >/dev/null
cmake --build build-release -j"$(nproc)" --target undelete
undelete=build-release/cli/undelete
samples=build-release/samples
bash tests/fixtures/build_all.sh "$samples" >/dev/null

recovered=build-release/recovered
rm -rf "$recovered"
for image in fat32 ntfs; do
  volume=$samples/$image.img
  echo "== undelete info $volume"
  "$undelete" info "$volume"
  echo "== undelete scan $volume"
  "$undelete" scan "$volume"
  echo "== undelete recover $volume --to $recovered/$image --keep-paths"
  "$undelete" recover "$volume" --to "$recovered/$image" --keep-paths
done

# The recovered copies are the files that were deleted, byte for byte.
echo "== comparing with the original files"
diff -r "$samples/ntfs.files/Old Stuff" "$recovered/ntfs/Old Stuff" && echo "identical: Old Stuff (NTFS)"
