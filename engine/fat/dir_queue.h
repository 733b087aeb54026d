// DirQueue: the min-heap of directory clusters waiting to be read, so that each sweep of
// a directory walk reads the disk in rising cluster order.
#pragma once
#include <cstdint>

struct DIR_QUEUE_ITEM {
    uint32_t cluster;
    uint32_t slot;       // position of the cluster within its directory
    uint32_t directory;  // index of the directory in the snapshot's table of made directories
};

class DirQueue {
public:
    DirQueue() = default;
    ~DirQueue();
    DirQueue(const DirQueue&) = delete;
    DirQueue& operator=(const DirQueue&) = delete;

    // False (status 2 recorded) when the storage cannot grow.
    bool Push(const DIR_QUEUE_ITEM& item);
    // Removes the element with the smallest cluster; false when empty.
    bool Pop(DIR_QUEUE_ITEM* item);
    bool Empty() const { return count_ == 0; }
    uint32_t Count() const { return count_; }
    // Drops every element and releases the storage.
    void Clear();

private:
    DIR_QUEUE_ITEM* items_ = nullptr;
    uint32_t count_ = 0;
    uint32_t capacity_ = 0;
};
