// Finishing the tree: dropping what the options ask to drop, numbering deleted files that
// share a name, and the made-up folders (lost directories, the deleted-files folder).
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/fat/fat_snapshot.h"
#include "platform/filetime.h"
#include "platform/wide_string.h"

namespace {

const WCHAR* FirstName(const SNAPSHOT_ENTRY* e) { return e->names && e->names->name ? e->names->name : u""; }

// UTF-16 units compared as numbers.
int CompareUnits(const WCHAR* a, const WCHAR* b) {
    while (*a && *a == *b) ++a, ++b;
    return int(*a) - int(*b);
}

bool LinkLess(const CHILD_LINK& a, const CHILD_LINK& b) { return CompareUnits(FirstName(a.entry), FirstName(b.entry)) < 0; }

// "report (2).doc" for a three-character extension, else "archive.tar.gz (1)"; built at
// its full length.
WCHAR* NumberedName(const WCHAR* text, int number) {
    size_t len = platform::WideLength(text);
    WCHAR digits[16];
    size_t d = 0;
    char tmp[16];
    int tn = 0;
    unsigned v = unsigned(number);
    do tmp[tn++] = char('0' + v % 10), v /= 10;
    while (v);
    digits[d++] = ' ';
    digits[d++] = '(';
    while (tn) digits[d++] = WCHAR(tmp[--tn]);
    digits[d++] = ')';
    size_t cut = len;
    const WCHAR* dot = nullptr;
    for (const WCHAR* p = text; *p; ++p)
        if (*p == '.') dot = p;
    if (dot && len >= 4 && size_t(dot - text) == len - 4) cut = len - 4;
    auto* out = static_cast<WCHAR*>(std::malloc((len + d + 1) * sizeof(WCHAR)));
    if (!out) return nullptr;
    std::memcpy(out, text, cut * sizeof(WCHAR));
    std::memcpy(out + cut, digits, d * sizeof(WCHAR));
    std::memcpy(out + cut + d, text + cut, (len - cut) * sizeof(WCHAR));
    out[len + d] = 0;
    return out;
}

void CountDeleted(const SNAPSHOT_ENTRY* dir, const SNAPSHOT_ENTRY* skip, int32_t* count) {
    if (!dir->children) return;
    for (int32_t i = 0; i < dir->childCount; ++i) {
        const SNAPSHOT_ENTRY* e = dir->children[i].entry;
        if (e == skip) continue;
        if (e->isDirectory) CountDeleted(e, skip, count);
        else if (IsDeleted(*e)) ++*count;
    }
}

void GatherDeleted(const SNAPSHOT_ENTRY* dir, const SNAPSHOT_ENTRY* skip, CHILD_LINK* out, int32_t capacity,
                   int32_t* count) {
    if (!dir->children) return;
    for (int32_t i = 0; i < dir->childCount; ++i) {
        const CHILD_LINK& link = dir->children[i];
        if (link.entry == skip) continue;
        if (link.entry->isDirectory) GatherDeleted(link.entry, skip, out, capacity, count);
        else if (IsDeleted(*link.entry) && *count < capacity) out[(*count)++] = link;
    }
}

}  // namespace

bool CFATSnapshot::DropLiveDirectoriesWithoutDeleted(SNAPSHOT_ENTRY* directory) {
    if (!directory->children) return true;
    int32_t kept = 0;
    for (int32_t i = 0; i < directory->childCount; ++i) {
        CHILD_LINK link = directory->children[i];
        if (link.entry->isDirectory && DropLiveDirectoriesWithoutDeleted(link.entry) && !IsDeleted(*link.entry)) {
            ReleaseFatTree(link.entry);
            continue;
        }
        directory->children[kept++] = link;
    }
    directory->childCount = kept;
    return kept == 0;
}

void CFATSnapshot::DropEmptyFiles(SNAPSHOT_ENTRY* directory) {
    if (!directory->children) return;
    int32_t kept = 0;
    for (int32_t i = 0; i < directory->childCount; ++i) {
        CHILD_LINK link = directory->children[i];
        if (link.entry->isDirectory) {
            DropEmptyFiles(link.entry);
        } else if (link.entry->streams && link.entry->streams->size == 0) {
            FreeSnapshotEntry(link.entry);
            continue;
        }
        directory->children[kept++] = link;
    }
    directory->childCount = kept;
}

bool CFATSnapshot::PruneEmptyDirectories(SNAPSHOT_ENTRY* directory) {
    if (!directory->children) return true;
    int32_t kept = 0;
    for (int32_t i = 0; i < directory->childCount; ++i) {
        CHILD_LINK link = directory->children[i];
        if (link.entry->isDirectory && PruneEmptyDirectories(link.entry)) {
            ReleaseFatTree(link.entry);
            continue;
        }
        directory->children[kept++] = link;
    }
    directory->childCount = kept;
    return kept == 0;
}

int32_t CFATSnapshot::NumberDuplicateNames(SNAPSHOT_ENTRY* directory) {
    if (!directory->children) return 1;
    CHILD_LINK* links = directory->children;
    int32_t n = directory->childCount;
    if (n > 0) std::sort(links, links + n, LinkLess);
    int32_t ok = 1;
    for (int32_t i = 0; i < n && ok;) {
        int32_t j = i + 1;
        while (j < n && CompareUnits(FirstName(links[i].entry), FirstName(links[j].entry)) == 0) ++j;
        if (j - i >= 2) {
            int number = 1;
            for (int32_t m = i; m < j; ++m) {
                SNAPSHOT_ENTRY* e = links[m].entry;
                if (!IsDeleted(*e) || !e->names) continue;
                WCHAR* numbered = NumberedName(e->names->name, number++);
                if (!numbered) {
                    ok = SetStatus(STATUS_NO_MEMORY);
                    break;
                }
                std::free(e->names->name);
                e->names->name = numbered;
            }
        }
        i = j;
    }
    for (int32_t i = 0; i < n; ++i)
        if (links[i].entry->isDirectory && !NumberDuplicateNames(links[i].entry)) ok = 0;
    return ok;
}

int32_t CFATSnapshot::ReserveRootRoom(int32_t extra) {
    int32_t want = root->childCount + extra;
    if (want <= rootCapacity && root->children) return 1;
    void* p = std::realloc(root->children, sizeof(CHILD_LINK) * size_t(want));
    if (!p) return SetStatus(STATUS_NO_MEMORY);
    root->children = static_cast<CHILD_LINK*>(p);
    rootCapacity = want;
    return 1;
}

SNAPSHOT_ENTRY* CFATSnapshot::AddFolder(SNAPSHOT_ENTRY* parent, const WCHAR* name, int32_t isDirectory) {
    // The root's array was sized with room to spare; grow it should a caller need more.
    if (parent == root && parent->childCount >= rootCapacity && !ReserveRootRoom(2)) return nullptr;
    SNAPSHOT_ENTRY* e = NewSnapshotEntry();
    if (!e) {
        SetStatus(STATUS_NO_MEMORY);
        return nullptr;
    }
    e->isDirectory = isDirectory;
    e->attributes = isDirectory ? uint32_t(FILE_ATTR_DIRECTORY) : 0u;
    e->names = NewEntryName(name, nullptr, 0);
    if (!e->names) {
        FreeSnapshotEntry(e);
        SetStatus(STATUS_NO_MEMORY);
        return nullptr;
    }
    FILETIME now;
    platform::GetSystemTimeAsFileTime(&now);
    e->created = e->accessed = e->modified = now;
    parent->children[parent->childCount].name = e->names;
    parent->children[parent->childCount].entry = e;
    ++parent->childCount;
    return e;
}

int32_t CFATSnapshot::AddDeletedFilesFolder() {
    SNAPSHOT_ENTRY* folder = AddFolder(root, LoadEngineString(MSG_DELETED_FOLDER), 1);
    if (!folder) return 0;
    deletedFolderAdded = 1;
    int32_t count = 0;
    CountDeleted(root, folder, &count);
    if (count == 0) return 1;
    auto* links = static_cast<CHILD_LINK*>(std::malloc(sizeof(CHILD_LINK) * size_t(count)));
    if (!links) return SetStatus(STATUS_NO_MEMORY);
    int32_t filled = 0;
    GatherDeleted(root, folder, links, count, &filled);
    std::sort(links, links + filled, LinkLess);
    int32_t kept = 0;
    for (int32_t i = 0; i < filled; ++i) {
        if (kept > 0 && CompareUnits(FirstName(links[i].entry), FirstName(links[kept - 1].entry)) == 0 &&
            links[i].entry->children == links[kept - 1].entry->children)
            continue;
        links[kept++] = links[i];
    }
    folder->children = links;
    folder->childCount = kept;
    if (kept < filled && kept > 0) {
        void* p = std::realloc(links, sizeof(CHILD_LINK) * size_t(kept));
        if (!p) return SetStatus(STATUS_NO_MEMORY);
        folder->children = static_cast<CHILD_LINK*>(p);
    }
    return 1;
}
