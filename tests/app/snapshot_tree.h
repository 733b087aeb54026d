// Hand-built snapshot trees for the application tests, made with the engine's record
// helpers and released with them.
#pragma once
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engine/snapshot/records.h"

namespace testtree {

class Tree {
public:
    Tree() { root = Dir(u"", false); }
    ~Tree() {
        for (SNAPSHOT_ENTRY* e : entries_) {
            ReleaseEntryContents(e);
            std::free(e);
        }
    }
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;

    SNAPSHOT_ENTRY* Dir(const char16_t* name, bool deleted = false) {
        SNAPSHOT_ENTRY* e = Entry(name, deleted);
        e->isDirectory = 1;
        e->attributes |= FILE_ATTR_DIRECTORY;
        return e;
    }

    SNAPSHOT_ENTRY* File(const char16_t* name, int32_t chance, int64_t size = 10, bool deleted = true) {
        SNAPSHOT_ENTRY* e = Entry(name, deleted);
        e->chance = chance;
        ENTRY_STREAM* s = NewEntryStream(nullptr);
        s->size = size;
        e->streams = s;
        return e;
    }

    // Adds `child` to `dir` under the child's first name (or another ENTRY_NAME).
    void Add(SNAPSHOT_ENTRY* dir, SNAPSHOT_ENTRY* child, ENTRY_NAME* name = nullptr) {
        CHILD_LINK* grown =
            static_cast<CHILD_LINK*>(std::realloc(dir->children, sizeof(CHILD_LINK) * size_t(dir->childCount + 1)));
        dir->children = grown;
        dir->children[dir->childCount++] = CHILD_LINK{name ? name : child->names, child};
    }

    SNAPSHOT_ENTRY* root;

private:
    SNAPSHOT_ENTRY* Entry(const char16_t* name, bool deleted) {
        SNAPSHOT_ENTRY* e = NewSnapshotEntry();
        e->names = NewEntryName(name, nullptr, 0);
        if (deleted) e->attributes |= ENTRY_DELETED;
        entries_.push_back(e);
        return e;
    }
    std::vector<SNAPSHOT_ENTRY*> entries_;
};

}  // namespace testtree
