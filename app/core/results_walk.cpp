#include "app/core/results_walk.h"

#include <unordered_set>

#include "app/core/result_paths.h"

namespace app {

std::u16string FileNodeInfo::DisplayFolder() const { return RemoveMadeUpFolders(folderPath); }

namespace {

struct Frame {
    SNAPSHOT_ENTRY* dir;
    int32_t index;
    std::u16string path;
};

bool HasChildren(const SNAPSHOT_ENTRY* e) {
    return e->isDirectory && e->children && e->children != CHILDREN_MARK && e->childCount > 0;
}

class Walk {
public:
    Walk(const WalkOptions& options, const WalkCallbacks& callbacks, int32_t& nodeCounter)
        : options_(options), callbacks_(callbacks), nodeCounter_(nodeCounter) {}

    // Steps 6 to 10 for one child whose path is known.
    void Consider(CHILD_LINK* link, const std::u16string& path) {
        SNAPSHOT_ENTRY* entry = link->entry;
        const WCHAR* name = link->name->name ? link->name->name : u"";
        int32_t chance = entry->chance;
        bool candidate = chance == CHANCE_EXCELLENT || chance == CHANCE_GOOD ||
                         (options_.allChances && (chance == CHANCE_POOR || chance == CHANCE_NONE));
        if (callbacks_.rated && chance >= CHANCE_EXCELLENT && chance <= CHANCE_NONE) {
            callbacks_.rated(RemoveMadeUpFolders(path), name, chance);
        }
        if (!candidate || !PassesTypeSelection(name, options_.typeSelection)) return;
        if (options_.listOnce && !offered_.insert(entry).second) return;
        FileNodeInfo node;
        node.folderPath = path;
        node.link = link;
        node.number = ++nodeCounter_;
        node.chance = chance;
        if (callbacks_.result) callbacks_.result(node);
    }

    bool Run(SNAPSHOT_ENTRY* root, std::u16string_view startFolder) {
        if (!root) return true;
        std::vector<Frame> stack;
        stack.push_back({root, 0, std::u16string(startFolder)});
        walked_.insert(root);
        while (!stack.empty()) {
            size_t top = stack.size() - 1;
            SNAPSHOT_ENTRY* dir = stack[top].dir;
            int32_t count = HasChildren(dir) ? dir->childCount : 0;
            if (stack[top].index >= count) {
                // The directory is done; now the directory entry itself is considered
                // under its own path, as its parent's current child.
                std::u16string donePath = std::move(stack[top].path);
                stack.pop_back();
                if (stack.empty()) break;
                Frame& parent = stack.back();
                Consider(&parent.dir->children[parent.index], donePath);
                ++parent.index;
                continue;
            }
            if (callbacks_.stopRequested && callbacks_.stopRequested()) return false;
            int32_t i = stack[top].index;
            if (top == 0 && callbacks_.rootProgress) callbacks_.rootProgress(float(i) / float(count) * 100.0f);
            CHILD_LINK* link = &dir->children[i];
            if (!link->entry || !link->name) {
                ++stack[top].index;
                continue;
            }
            SNAPSHOT_ENTRY* entry = link->entry;
            if (entry->isDirectory) {
                std::u16string path = stack[top].path;
                path += link->name->name ? link->name->name : u"";
                path += u'/';
                if (HasChildren(entry) && walked_.insert(entry).second) {
                    stack.push_back({entry, 0, std::move(path)});
                    continue;
                }
                Consider(link, path);
            } else {
                Consider(link, stack[top].path);
            }
            ++stack[top].index;
        }
        return true;
    }

private:
    const WalkOptions& options_;
    const WalkCallbacks& callbacks_;
    int32_t& nodeCounter_;
    std::unordered_set<const SNAPSHOT_ENTRY*> walked_;
    std::unordered_set<const SNAPSHOT_ENTRY*> offered_;
};

}  // namespace

bool WalkResults(SNAPSHOT_ENTRY* root, std::u16string_view startFolder, const WalkOptions& options,
                 const WalkCallbacks& callbacks, int32_t& nodeCounter) {
    Walk walk(options, callbacks, nodeCounter);
    return walk.Run(root, startFolder);
}

std::vector<FileNodeInfo> CollectResults(SNAPSHOT_ENTRY* root, std::u16string_view startFolder,
                                         const WalkOptions& options) {
    std::vector<FileNodeInfo> nodes;
    WalkCallbacks callbacks;
    callbacks.result = [&nodes](FileNodeInfo& node) { nodes.push_back(node); };
    int32_t counter = 0;
    WalkResults(root, startFolder, options, callbacks, counter);
    return nodes;
}

}  // namespace app
