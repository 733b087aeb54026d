#include "engine/fat/dir_queue.h"

#include <cstdlib>

#include "engine/status.h"

namespace {
constexpr uint32_t kQueueGrowth = 512;
}

DirQueue::~DirQueue() { Clear(); }

void DirQueue::Clear() {
    std::free(items_);
    items_ = nullptr;
    count_ = capacity_ = 0;
}

bool DirQueue::Push(const DIR_QUEUE_ITEM& item) {
    if (count_ == capacity_) {
        void* p = std::realloc(items_, sizeof(DIR_QUEUE_ITEM) * (size_t(capacity_) + kQueueGrowth));
        if (!p) {
            SetStatus(STATUS_NO_MEMORY);
            return false;
        }
        items_ = static_cast<DIR_QUEUE_ITEM*>(p);
        capacity_ += kQueueGrowth;
    }
    uint32_t i = count_++;
    while (i > 0) {
        uint32_t parent = (i - 1) / 2;
        if (items_[parent].cluster <= item.cluster) break;
        items_[i] = items_[parent];
        i = parent;
    }
    items_[i] = item;
    return true;
}

bool DirQueue::Pop(DIR_QUEUE_ITEM* item) {
    if (count_ == 0) return false;
    *item = items_[0];
    DIR_QUEUE_ITEM last = items_[--count_];
    uint32_t i = 0;
    for (;;) {
        uint32_t child = 2 * i + 1;
        if (child >= count_) break;
        if (child + 1 < count_ && items_[child + 1].cluster < items_[child].cluster) ++child;
        if (last.cluster <= items_[child].cluster) break;
        items_[i] = items_[child];
        i = child;
    }
    if (count_ > 0) items_[i] = last;
    return true;
}
