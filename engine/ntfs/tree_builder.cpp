// CMFTSnapshot::BuildTree: links the record table into the directory tree the
// application walks, with made-up folders for lost parents and for all deleted files.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "engine/ntfs/mft_snapshot.h"
#include "engine/volume.h"
#include "platform/wide_string.h"

namespace {

// Deepest ancestor a file marks when empty directories are pruned.
constexpr int32_t kMarkDepth = 200;
constexpr uint8_t kUnmarked = 0xFF;
// Slots between two cancellation polls.
constexpr int32_t kPollStep = 1024;
constexpr uint32_t kLostFolderAttributes = ENTRY_DELETED | FILE_ATTR_NORMAL;
constexpr uint32_t kDeletedFolderAttributes = FILE_ATTR_NORMAL;

uint32_t ParentNumber(const ENTRY_NAME* name) { return uint32_t(name->parentRef & 0xFFFFFFFFu); }

uint32_t HashKey(uint32_t key) { return key * 2654435761u; }

bool AddLink(SNAPSHOT_ENTRY* dir, ENTRY_NAME* name, SNAPSHOT_ENTRY* child, int32_t capacity) {
    if (!dir->children || dir->childCount >= capacity) return false;
    dir->children[dir->childCount++] = CHILD_LINK{name, child};
    return true;
}

}  // namespace

bool CMFTSnapshot::Cancelled(int32_t slot) {
    return slot % kPollStep == 0 && progress && progress->IsCancelled() != 0;
}

void CMFTSnapshot::RemoveSlot(int32_t slot) {
    FreeSnapshotEntry(records[slot]);
    records[slot] = nullptr;
}

CMFTSnapshot::LostIndexSlot* CMFTSnapshot::FindLostSlot(uint32_t key) const {
    if (!lostIndexCapacity_) return nullptr;
    uint32_t mask = lostIndexCapacity_ - 1;
    for (uint32_t i = HashKey(key) & mask;; i = (i + 1) & mask) {
        if (!lostIndex_[i].dir) return nullptr;
        if (lostIndex_[i].key == key) return &lostIndex_[i];
    }
}

bool CMFTSnapshot::IndexLostFolder(VIRTUAL_DIR* dir, uint32_t key) {
    if ((lostIndexCount_ + 1) * 2 > lostIndexCapacity_) {
        uint32_t capacity = lostIndexCapacity_ ? lostIndexCapacity_ * 2 : 64;
        auto* table = static_cast<LostIndexSlot*>(std::calloc(capacity, sizeof(LostIndexSlot)));
        if (!table) return false;
        for (uint32_t j = 0; j < lostIndexCapacity_; ++j) {
            if (!lostIndex_[j].dir) continue;
            uint32_t i = HashKey(lostIndex_[j].key) & (capacity - 1);
            while (table[i].dir) i = (i + 1) & (capacity - 1);
            table[i] = lostIndex_[j];
        }
        std::free(lostIndex_);
        lostIndex_ = table;
        lostIndexCapacity_ = capacity;
    }
    uint32_t i = HashKey(key) & (lostIndexCapacity_ - 1);
    while (lostIndex_[i].dir) i = (i + 1) & (lostIndexCapacity_ - 1);
    lostIndex_[i] = LostIndexSlot{key, 0, dir};
    ++lostIndexCount_;
    return true;
}

void CMFTSnapshot::ClearVirtualDirs() {
    for (int32_t i = 0; i < virtualDirs.count; ++i) FreeVirtualDir(virtualDirs.At(i));
    virtualDirs.RemoveAll();
    virtualDirs.error = ARRAY_OK;
    std::free(lostIndex_);
    lostIndex_ = nullptr;
    lostIndexCapacity_ = 0;
    lostIndexCount_ = 0;
    deletedFolder_ = nullptr;
}

VIRTUAL_DIR* CMFTSnapshot::GetVirtualDir(int32_t key, uint32_t message, uint32_t attributes) {
    // The deleted-files folder is kept apart, so that no damaged parent number can
    // stand for it.
    const bool deletedFolder = key == kDeletedFilesKey && message == MSG_DELETED_FOLDER;
    LostIndexSlot* slot = deletedFolder ? nullptr : FindLostSlot(uint32_t(key));
    VIRTUAL_DIR* found = deletedFolder ? deletedFolder_ : (slot ? slot->dir : nullptr);
    if (found) return found;
    WCHAR name[100];
    long long argument = key;
    platform::FormatWide(name, 100, LoadEngineString(message), &argument, 1);
    VIRTUAL_DIR* dir = NewVirtualDir(name, key);
    if (!dir) return nullptr;
    dir->entry.attributes = attributes;
    if (virtualDirs.Add(dir) < 0) {
        virtualDirs.error = ARRAY_OK;
        FreeVirtualDir(dir);
        return nullptr;
    }
    if (!deletedFolder && !IndexLostFolder(dir, uint32_t(key))) {
        --virtualDirs.count;  // the element just added; the array owns nothing
        FreeVirtualDir(dir);
        return nullptr;
    }
    if (deletedFolder) deletedFolder_ = dir;
    return dir;
}

SNAPSHOT_ENTRY* CMFTSnapshot::ParentFor(const SNAPSHOT_ENTRY* child, const ENTRY_NAME* name, bool* failed,
                                        int32_t* capacity) {
    uint32_t number = ParentNumber(name);
    SNAPSHOT_ENTRY* parent = Slot(number);
    if (parent && parent->isDirectory && parent != child && !IsLoopName(name)) {
        if (capacity) *capacity = parent == root ? rootCapacity_ : (capacity_ ? capacity_[number] : 0);
        return parent;
    }
    VIRTUAL_DIR* lost = GetVirtualDir(int32_t(number), MSG_LOST_FOLDER, kLostFolderAttributes);
    if (!lost) {
        *failed = true;
        return nullptr;
    }
    if (capacity) *capacity = FindLostSlot(number)->capacity;
    return &lost->entry;
}

void CMFTSnapshot::MarkAncestors(int32_t slot, int32_t depth, uint8_t* depthSeen) {
    // An entry already marked at this depth or nearer has marked its ancestors as far as
    // this call could; loops in parent links end here too.
    if (depth > kMarkDepth || depthSeen[slot] <= depth) return;
    depthSeen[slot] = uint8_t(depth);
    SNAPSHOT_ENTRY* e = records[slot];
    e->children = CHILDREN_MARK;
    for (const ENTRY_NAME* n = e->names; n; n = n->next) {
        uint32_t p = ParentNumber(n);
        SNAPSHOT_ENTRY* parent = Slot(p);
        if (parent && parent->isDirectory && parent != e) MarkAncestors(int32_t(p), depth + 1, depthSeen);
    }
}

bool CMFTSnapshot::IsLoopName(const ENTRY_NAME* name) const {
    if (!loopNameCount_) return false;
    return std::binary_search(loopNames_, loopNames_ + loopNameCount_, const_cast<ENTRY_NAME*>(name));
}

int32_t CMFTSnapshot::FindLoopNames() {
    // Depth-first search over the parent links of directories: a link to a directory
    // still on the search path closes a loop.
    struct Frame {
        int32_t slot;
        ENTRY_NAME* next;
    };
    auto* colour = static_cast<uint8_t*>(std::calloc(size_t(recordCount), 1));
    auto* stack = static_cast<Frame*>(std::malloc(sizeof(Frame) * size_t(recordCount)));
    TDirectArray<ENTRY_NAME*> found(16, 256);
    if (!colour || !stack || found.error) {
        std::free(colour);
        std::free(stack);
        return SetStatus(STATUS_NO_MEMORY);
    }
    for (int32_t start = 0; start < recordCount; ++start) {
        SNAPSHOT_ENTRY* s = records[start];
        if (!s || !s->isDirectory || s == root || colour[start]) continue;
        int32_t depth = 0;
        stack[depth++] = Frame{start, s->names};
        colour[start] = 1;
        while (depth > 0) {
            Frame& f = stack[depth - 1];
            if (!f.next) {
                colour[f.slot] = 2;
                --depth;
                continue;
            }
            ENTRY_NAME* name = f.next;
            f.next = name->next;
            uint32_t p = ParentNumber(name);
            SNAPSHOT_ENTRY* parent = Slot(p);
            if (!parent || !parent->isDirectory || parent == records[f.slot] || parent == root) continue;
            if (colour[p] == 1) {
                if (found.Add(name) < 0) break;
            } else if (colour[p] == 0) {
                colour[p] = 1;
                stack[depth++] = Frame{int32_t(p), parent->names};
            }
        }
        if (found.error) break;
    }
    std::free(colour);
    std::free(stack);
    if (found.error) return SetStatus(STATUS_NO_MEMORY);
    if (found.count) {
        loopNames_ = static_cast<ENTRY_NAME**>(std::malloc(sizeof(ENTRY_NAME*) * size_t(found.count)));
        if (!loopNames_) return SetStatus(STATUS_NO_MEMORY);
        std::memcpy(loopNames_, found.storage, sizeof(ENTRY_NAME*) * size_t(found.count));
        loopNameCount_ = found.count;
        std::sort(loopNames_, loopNames_ + loopNameCount_);
    }
    return 1;
}

int32_t CMFTSnapshot::BuildTree() {
    // Working tables of the build, released however it ends.
    struct Scratch {
        CMFTSnapshot* s;
        ~Scratch() {
            std::free(s->loopNames_);
            s->loopNames_ = nullptr;
            s->loopNameCount_ = 0;
            std::free(s->capacity_);
            s->capacity_ = nullptr;
            s->rootCapacity_ = 0;
        }
    } scratch{this};
    const int32_t firstSlots = std::min(recordCount, kSystemRecords);

    // 1. Entries without a name.  2. Empty files, when asked.
    for (int32_t i = 0; i < recordCount; ++i) {
        SNAPSHOT_ENTRY* e = records[i];
        if (e && !e->names) {
            if (IsDeleted(*e) && !e->isDirectory && e->streams && unnamedDeleted.Add(e) >= 0) records[i] = nullptr;
            else RemoveSlot(i);
            unnamedDeleted.error = ARRAY_OK;
        }
        if (Cancelled(i)) return 0;
    }
    if (options & SNAP_DROP_EMPTY) {
        for (int32_t i = 0; i < recordCount; ++i) {
            SNAPSHOT_ENTRY* e = records[i];
            if (e && !e->isDirectory && !IsSystemRecord(i) && e->streams && !e->streams->next &&
                e->streams->size == 0)
                RemoveSlot(i);
            if (Cancelled(i)) return 0;
        }
    }

    // 3. The root: the "." directory among the system records, or one of our own.
    root = nullptr;
    for (int32_t i = 0; i < firstSlots && !root; ++i) {
        SNAPSHOT_ENTRY* e = records[i];
        if (e && e->isDirectory && e->names && platform::WideCompareNoCase(e->names->name, u".") == 0) root = e;
    }
    if (!root) {
        SetStatus(STATUS_NO_ROOT);
        root = NewSnapshotEntry();
        if (!root) return SetStatus(STATUS_NO_MEMORY);
        root->isDirectory = 1;
        ownsRoot = 1;
    }

    // 4. Drop directories with no file below them.
    if (options & SNAP_PRUNE_DIRS) {
        auto* depthSeen = static_cast<uint8_t*>(std::malloc(size_t(recordCount)));
        if (!depthSeen) return SetStatus(STATUS_NO_MEMORY);
        std::memset(depthSeen, kUnmarked, size_t(recordCount));
        for (int32_t i = 0; i < recordCount; ++i) {
            SNAPSHOT_ENTRY* e = records[i];
            if (e && !e->isDirectory) MarkAncestors(i, 0, depthSeen);
            if (Cancelled(i)) {
                std::free(depthSeen);
                return 0;
            }
        }
        std::free(depthSeen);
        for (int32_t i = 0; i < recordCount; ++i) {
            SNAPSHOT_ENTRY* e = records[i];
            if (e) {
                bool marked = e->children == CHILDREN_MARK;
                e->children = nullptr;
                if (e->isDirectory && e != root && !marked) RemoveSlot(i);
            }
            if (Cancelled(i)) return 0;
        }
    }

    if (!FindLoopNames()) return 0;

    // 5. Count the children of every directory.
    bool failed = false;
    for (int32_t i = 0; i < recordCount; ++i) {
        SNAPSHOT_ENTRY* q = records[i];
        if (q && q != root && !IsSystemRecord(i)) {
            for (const ENTRY_NAME* n = q->names; n; n = n->next) {
                SNAPSHOT_ENTRY* parent = ParentFor(q, n, &failed, nullptr);
                if (failed) return SetStatus(STATUS_NO_MEMORY);
                ++parent->childCount;
            }
        }
        if (Cancelled(i)) return 0;
    }

    // 6. Children arrays. Each directory's count becomes its array size, kept apart as
    // the bound of every append, and the count restarts as the fill position.
    root->childCount += virtualDirs.count + 2;
    capacity_ = static_cast<int32_t*>(std::calloc(size_t(recordCount), sizeof(int32_t)));
    if (!capacity_) return SetStatus(STATUS_NO_MEMORY);
    auto allocate = [](SNAPSHOT_ENTRY* e, int32_t* size) {
        *size = e->childCount;
        e->childCount = 0;
        if (*size <= 0) return true;
        e->children = static_cast<CHILD_LINK*>(std::calloc(size_t(*size), sizeof(CHILD_LINK)));
        return e->children != nullptr;
    };
    for (int32_t i = 0; i < recordCount; ++i) {
        SNAPSHOT_ENTRY* e = records[i];
        if (e && e->childCount > 0 && !allocate(e, &capacity_[i])) return SetStatus(STATUS_NO_MEMORY);
        if (e && e == root) rootCapacity_ = capacity_[i];
    }
    const int32_t lostFolders = virtualDirs.count;
    for (int32_t i = 0; i < lostFolders; ++i) {
        VIRTUAL_DIR* v = virtualDirs.At(i);
        if (!allocate(&v->entry, &FindLostSlot(uint32_t(v->key))->capacity)) return SetStatus(STATUS_NO_MEMORY);
    }
    if (ownsRoot && !allocate(root, &rootCapacity_)) return SetStatus(STATUS_NO_MEMORY);

    // 7. Fill, in slot order; count the files that may go into the deleted-files folder.
    int32_t files = 0;
    for (int32_t i = 0; i < recordCount; ++i) {
        SNAPSHOT_ENTRY* q = records[i];
        if (q && q != root && !IsSystemRecord(i)) {
            for (ENTRY_NAME* n = q->names; n; n = n->next) {
                int32_t size = 0;
                SNAPSHOT_ENTRY* parent = ParentFor(q, n, &failed, &size);
                if (failed) return SetStatus(STATUS_NO_MEMORY);
                AddLink(parent, n, q, size);
            }
            if (!q->isDirectory) ++files;
        }
        if (Cancelled(i)) return 0;
    }

    // 8. The lost-parent folders, in the order they were made.
    for (int32_t i = 0; i < lostFolders; ++i) {
        VIRTUAL_DIR* d = virtualDirs.At(i);
        AddLink(root, d->entry.names, &d->entry, rootCapacity_);
    }

    // 9. The folder of all deleted files.
    VIRTUAL_DIR* d = GetVirtualDir(kDeletedFilesKey, MSG_DELETED_FOLDER, kDeletedFolderAttributes);
    if (!d) return SetStatus(STATUS_NO_MEMORY);
    d->entry.children = static_cast<CHILD_LINK*>(std::calloc(size_t(files) + 1, sizeof(CHILD_LINK)));
    if (!d->entry.children) return SetStatus(STATUS_NO_MEMORY);
    d->entry.childCount = 0;
    for (int32_t i = 0; i < recordCount; ++i) {
        SNAPSHOT_ENTRY* r = records[i];
        if (r && !r->isDirectory && r != root && !IsSystemRecord(i) && IsDeleted(*r))
            AddLink(&d->entry, r->names, r, files);
        if (Cancelled(i)) return 0;
    }

    // 10. The deleted-files folder comes last under the root.
    AddLink(root, d->entry.names, &d->entry, rootCapacity_);
    return 1;
}
