#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the sample run need.
set -euo pipefail
packages=(
  # build
  cmake g++ make pkg-config libgtest-dev libblkid-dev nlohmann-json3-dev libcli11-dev
  # fuzzing
  clang libclang-rt-14-dev
  # test images and the independent reader used as an oracle
  dosfstools mtools ntfs-3g attr sleuthkit fuse3 util-linux
  # whole-disk images with MBR and GPT tables (sfdisk)
  fdisk
  # benchmarks: peak memory and time of each tool
  time
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
