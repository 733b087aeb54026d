// The records every snapshot produces. The application walks them directly, so their
// field order is an interface: entries, their names, their streams and the cluster map
// of each stream, directory children and made-up folders.
#pragma once
#include <cstddef>
#include <cstdint>
#include "platform/win_types.h"

inline constexpr uint32_t ENTRY_DELETED = 0x80000000u;

// File attribute bits the engine and the application look at.
enum : uint32_t {
    FILE_ATTR_READONLY = 0x1,
    FILE_ATTR_HIDDEN = 0x2,
    FILE_ATTR_SYSTEM = 0x4,
    FILE_ATTR_DIRECTORY = 0x10,
    FILE_ATTR_ARCHIVE = 0x20,
    FILE_ATTR_NORMAL = 0x80,
    FILE_ATTR_SPARSE = 0x200,
    FILE_ATTR_COMPRESSED = 0x800,
    FILE_ATTR_ENCRYPTED = 0x4000,
};

// Recovery chance of a deleted file.
enum RecoveryChance : int32_t {
    CHANCE_UNRATED = 0,
    CHANCE_EXCELLENT = 1,
    CHANCE_GOOD = 2,
    CHANCE_POOR = 3,
    CHANCE_NONE = 4,
};

// Extent flags (NTFS attribute flags); only compression changes how a stream is read.
enum : uint32_t {
    EXTENT_COMPRESSED = 0x0001,
    EXTENT_ENCRYPTED = 0x4000,
    EXTENT_SPARSE = 0x8000,
};

struct ENTRY_NAME {
    WCHAR* name;           // owned
    WCHAR* shortName;      // FAT: the 8.3 form when name is a long name; else null (owned)
    uint64_t parentRef;    // NTFS: parent file reference as stored; 0 for FAT
    ENTRY_NAME* next;
};

// One piece of a non-resident stream's cluster map, as a mapping-pairs run list.
struct STREAM_EXTENT {
    int64_t firstVcn;
    int64_t lastVcn;
    uint32_t flags;
    uint8_t* runList;          // owned
    uint32_t runListLength;
    uint32_t compressionUnit;  // log2 of the unit in clusters; 0 when not compressed
    STREAM_EXTENT* next;
};

struct ENTRY_STREAM {
    WCHAR* name;           // null for the unnamed stream (owned)
    uint8_t* residentData; // bytes held in the record itself (owned), else null
    STREAM_EXTENT* extents;
    int64_t size;
    ENTRY_STREAM* next;
};

struct SNAPSHOT_ENTRY;

struct CHILD_LINK {
    ENTRY_NAME* name;       // the name the child is listed under here (not owned)
    SNAPSHOT_ENTRY* entry;  // not owned
};

struct SNAPSHOT_ENTRY {
    int32_t isDirectory;
    uint32_t attributes;   // bit 31: ENTRY_DELETED
    int32_t chance;
    ENTRY_NAME* names;
    FILETIME created;
    FILETIME accessed;
    FILETIME modified;
    ENTRY_STREAM* streams;
    CHILD_LINK* children;  // directories: owned array
    int32_t childCount;
};

// A folder the snapshot invents where the volume has none.
struct VIRTUAL_DIR {
    SNAPSHOT_ENTRY entry;
    int32_t key;  // NTFS: record number of the missing parent; -2: the deleted-files folder
};

// The mark a directory's children pointer holds while directories are pruned.
inline CHILD_LINK* const CHILDREN_MARK = reinterpret_cast<CHILD_LINK*>(intptr_t(-1));

inline bool IsDeleted(const SNAPSHOT_ENTRY& e) { return (e.attributes & ENTRY_DELETED) != 0; }

// Allocation helpers for the records (malloc-based, so a failure is a null, never a throw).
ENTRY_NAME* NewEntryName(const WCHAR* name, const WCHAR* shortName, uint64_t parentRef);
ENTRY_STREAM* NewEntryStream(const WCHAR* name);
STREAM_EXTENT* NewStreamExtent(int64_t firstVcn, int64_t lastVcn, uint32_t flags, const uint8_t* runList,
                               uint32_t runListLength, uint32_t compressionUnit);
SNAPSHOT_ENTRY* NewSnapshotEntry();
VIRTUAL_DIR* NewVirtualDir(const WCHAR* name, int32_t key);
WCHAR* DuplicateWide(const WCHAR* s);
WCHAR* DuplicateWide(const WCHAR* s, size_t length);

// Frees exactly what an entry owns: its names, its streams with their extents, and its
// children array when it is a directory. The entry itself is not freed.
void ReleaseEntryContents(SNAPSHOT_ENTRY* entry);
// ReleaseEntryContents, then the entry (made by NewSnapshotEntry).
void FreeSnapshotEntry(SNAPSHOT_ENTRY* entry);
void FreeVirtualDir(VIRTUAL_DIR* dir);
void FreeEntryStream(ENTRY_STREAM* stream);  // one stream with its extents
