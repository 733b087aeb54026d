// CMFTSnapshot: the snapshot of an NTFS volume, built from its master file table.
#pragma once
#include "engine/snapshot/snapshot.h"

// A new, empty NTFS snapshot of an opened volume; null when memory is exhausted.
CSnapshot* NewMftSnapshot(VolumeAccess* volume);
