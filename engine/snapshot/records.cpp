#include "engine/snapshot/records.h"

#include <cstdlib>
#include <cstring>

#include "platform/filetime.h"
#include "platform/wide_string.h"

WCHAR* DuplicateWide(const WCHAR* s, size_t length) {
    auto* out = static_cast<WCHAR*>(std::malloc((length + 1) * sizeof(WCHAR)));
    if (!out) return nullptr;
    if (length) std::memcpy(out, s, length * sizeof(WCHAR));
    out[length] = 0;
    return out;
}

WCHAR* DuplicateWide(const WCHAR* s) { return s ? DuplicateWide(s, platform::WideLength(s)) : nullptr; }

ENTRY_NAME* NewEntryName(const WCHAR* name, const WCHAR* shortName, uint64_t parentRef) {
    auto* n = static_cast<ENTRY_NAME*>(std::calloc(1, sizeof(ENTRY_NAME)));
    if (!n) return nullptr;
    n->name = DuplicateWide(name ? name : u"");
    n->shortName = shortName ? DuplicateWide(shortName) : nullptr;
    n->parentRef = parentRef;
    if (!n->name || (shortName && !n->shortName)) {
        std::free(n->name);
        std::free(n->shortName);
        std::free(n);
        return nullptr;
    }
    return n;
}

ENTRY_STREAM* NewEntryStream(const WCHAR* name) {
    auto* s = static_cast<ENTRY_STREAM*>(std::calloc(1, sizeof(ENTRY_STREAM)));
    if (!s) return nullptr;
    if (name) {
        s->name = DuplicateWide(name);
        if (!s->name) {
            std::free(s);
            return nullptr;
        }
    }
    return s;
}

STREAM_EXTENT* NewStreamExtent(int64_t firstVcn, int64_t lastVcn, uint32_t flags, const uint8_t* runList,
                               uint32_t runListLength, uint32_t compressionUnit) {
    auto* e = static_cast<STREAM_EXTENT*>(std::calloc(1, sizeof(STREAM_EXTENT)));
    if (!e) return nullptr;
    e->firstVcn = firstVcn;
    e->lastVcn = lastVcn;
    e->flags = flags;
    e->compressionUnit = compressionUnit;
    e->runList = static_cast<uint8_t*>(std::malloc(runListLength ? runListLength : 1));
    if (!e->runList) {
        std::free(e);
        return nullptr;
    }
    if (runListLength) std::memcpy(e->runList, runList, runListLength);
    e->runListLength = runListLength;
    return e;
}

SNAPSHOT_ENTRY* NewSnapshotEntry() {
    return static_cast<SNAPSHOT_ENTRY*>(std::calloc(1, sizeof(SNAPSHOT_ENTRY)));
}

VIRTUAL_DIR* NewVirtualDir(const WCHAR* name, int32_t key) {
    auto* d = static_cast<VIRTUAL_DIR*>(std::calloc(1, sizeof(VIRTUAL_DIR)));
    if (!d) return nullptr;
    d->entry.names = NewEntryName(name, nullptr, 0);
    if (!d->entry.names) {
        std::free(d);
        return nullptr;
    }
    d->entry.isDirectory = 1;
    d->entry.attributes = FILE_ATTR_DIRECTORY;
    FILETIME now;
    platform::GetSystemTimeAsFileTime(&now);
    d->entry.created = d->entry.accessed = d->entry.modified = now;
    d->key = key;
    return d;
}

void FreeEntryStream(ENTRY_STREAM* s) {
    if (!s) return;
    std::free(s->name);
    std::free(s->residentData);
    for (STREAM_EXTENT* e = s->extents; e;) {
        STREAM_EXTENT* next = e->next;
        std::free(e->runList);
        std::free(e);
        e = next;
    }
    std::free(s);
}

void ReleaseEntryContents(SNAPSHOT_ENTRY* entry) {
    if (!entry) return;
    for (ENTRY_NAME* n = entry->names; n;) {
        ENTRY_NAME* next = n->next;
        std::free(n->name);
        std::free(n->shortName);
        std::free(n);
        n = next;
    }
    entry->names = nullptr;
    for (ENTRY_STREAM* s = entry->streams; s;) {
        ENTRY_STREAM* next = s->next;
        FreeEntryStream(s);
        s = next;
    }
    entry->streams = nullptr;
    if (entry->isDirectory && entry->children && entry->children != CHILDREN_MARK) std::free(entry->children);
    entry->children = nullptr;
    entry->childCount = 0;
}

void FreeSnapshotEntry(SNAPSHOT_ENTRY* entry) {
    ReleaseEntryContents(entry);
    std::free(entry);
}

void FreeVirtualDir(VIRTUAL_DIR* dir) {
    if (!dir) return;
    ReleaseEntryContents(&dir->entry);
    std::free(dir);
}
