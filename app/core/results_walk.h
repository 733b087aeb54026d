// The results walk: visits a finished snapshot depth first and turns every deleted file
// worth offering (rated 1 or 2, and passing the file-type test) into a result node,
// numbered in walk order.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>
#include "app/core/file_types.h"
#include "engine/snapshot/records.h"

namespace app {

// One result node: where an offered entry lives and the name it has there.
struct FileNodeInfo {
    std::u16string folderPath;  // the start folder, then each folder name and "/"; may hold made-up folders
    CHILD_LINK* link = nullptr; // the entry and its name in that folder (points into the snapshot)
    int32_t number = 0;         // 1 for the first node of a result set
    int32_t row = -1;           // list row of a front end, -1 when none
    bool saved = false;         // written by a recovery
    int32_t chance = 0;         // the entry's recovery chance

    SNAPSHOT_ENTRY* Entry() const { return link ? link->entry : nullptr; }
    const WCHAR* Name() const { return link && link->name && link->name->name ? link->name->name : u""; }
    // The folder as shown and written: made-up folders removed.
    std::u16string DisplayFolder() const;
};

struct WalkOptions {
    int32_t typeSelection = kAllTypes;
    bool allChances = false;  // offer files rated "Poor" and "None" as well
    bool listOnce = false;    // an entry met again (the deleted-files folder lists every deleted
                              // file a second time; hard links) is offered only where first met
};

// What the walk reports to its front end. Every member is optional.
struct WalkCallbacks {
    std::function<bool()> stopRequested;                       // polled before each child
    std::function<void(float percent)> rootProgress;           // before each child of the root
    std::function<void(const std::u16string& displayFolder, const WCHAR* name, int32_t chance)> rated;
    std::function<void(FileNodeInfo& node)> result;            // a new node
};

// Walks the tree below `root`, children in array order, a directory before the directory
// entry itself is considered. `startFolder` begins every folder path. `nodeCounter` is the
// last number given (0 for a new result set). Each directory is walked once, however many
// paths lead to it, so damaged parent links can make neither a loop nor an endless walk.
// Returns false when stopped, true when the whole tree was walked.
bool WalkResults(SNAPSHOT_ENTRY* root, std::u16string_view startFolder, const WalkOptions& options,
                 const WalkCallbacks& callbacks, int32_t& nodeCounter);

// Runs the walk to the end and returns every node.
std::vector<FileNodeInfo> CollectResults(SNAPSHOT_ENTRY* root, std::u16string_view startFolder,
                                         const WalkOptions& options);

}  // namespace app
