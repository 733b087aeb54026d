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

for image in fat32 ntfs; do
  echo "== $samples/$image.img"
  "$undelete" info "$samples/$image.img"
done
