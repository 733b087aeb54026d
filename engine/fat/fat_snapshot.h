// CFATSnapshot: the snapshot of a FAT12/16/32 volume, built from its allocation table
// and directories.
#pragma once
#include "engine/snapshot/snapshot.h"

// A new, empty FAT snapshot of an opened volume; null when memory is exhausted.
CSnapshot* NewFatSnapshot(VolumeAccess* volume);
