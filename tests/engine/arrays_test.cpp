// The engine's growable arrays: growth and shrink steps, error state, ownership.
#include <gtest/gtest.h>

#include "engine/arrays.h"

TEST(DirectArray, GrowsAndShrinksInSteps) {
    TDirectArray<int> zero(0, 0);
    EXPECT_EQ(zero.initialCapacity, 1);
    EXPECT_EQ(zero.growth, 1);

    TDirectArray<int> a(5, 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(a.Add(i), i);
    EXPECT_EQ(a.capacity, 5);
    EXPECT_EQ(a.Add(5), 5);
    EXPECT_EQ(a.capacity, 10);
    for (int i = 6; i < 10; ++i) a.Add(i);
    a.RemoveAt(0);
    EXPECT_EQ(a.capacity, 10);
    while (a.count > 5) a.RemoveAt(0);
    EXPECT_EQ(a.capacity, 5);
    EXPECT_EQ(a[0], 5);
    while (a.count > 0) a.RemoveAt(0);
    EXPECT_EQ(a.capacity, 5);

    a.Destroy();
    EXPECT_EQ(a.error, uint32_t(ARRAY_DESTROYED));
    a.Destroy();  // harmless
    EXPECT_EQ(a.Add(1), -1);
}

TEST(DirectArray, RemoveAllReleasesEveryElementAndShrinksToTheInitialCapacity) {
    struct Counting : TDirectArray<int> {
        int released = 0;
        Counting() : TDirectArray<int>(10, 10) {}
        void ReleaseElement(int*) override { ++released; }
    } a;
    for (int i = 0; i < 15; ++i) a.Add(i);
    a.Add(15);
    a.Add(16);
    a.Add(17);
    a.Add(18);
    a.Add(19);
    a.Add(20);  // capacity 30
    while (a.count > 15) a.RemoveAt(a.count - 1);
    EXPECT_EQ(a.capacity, 20);
    a.released = 0;
    a.RemoveAll();
    EXPECT_EQ(a.released, 15);
    EXPECT_EQ(a.count, 0);
    EXPECT_EQ(a.capacity, 10);

    // Empty with a larger capacity: unchanged.
    for (int i = 0; i < 11; ++i) a.Add(i);
    while (a.count) a.RemoveAt(a.count - 1);
    int cap = a.capacity;
    a.RemoveAll();
    EXPECT_EQ(a.capacity, cap);
}

TEST(DirectArray, FirstErrorSticksAndAddRefusesUntilReset) {
    TDirectArray<int> a(1, 1);
    a.SetError(ARRAY_NO_MEMORY);
    a.SetError(7);
    EXPECT_EQ(a.error, uint32_t(ARRAY_NO_MEMORY));
    EXPECT_EQ(a.Add(1), -1);
    a.error = ARRAY_OK;
    EXPECT_EQ(a.Add(2), 0);
}

namespace {
struct Tracked {
    static inline int alive = 0;
    Tracked() { ++alive; }
    ~Tracked() { --alive; }
};
}  // namespace

TEST(IndirectArray, DeletesOnlyWhatItOwns) {
    {
        TIndirectArray<Tracked> owning(2, 2, true);
        owning.Add(new Tracked);
        owning.Add(new Tracked);
        owning.Add(nullptr);
        EXPECT_EQ(Tracked::alive, 2);
        owning.RemoveAt(0);
        EXPECT_EQ(Tracked::alive, 1);
    }
    EXPECT_EQ(Tracked::alive, 0);

    Tracked kept;
    {
        TIndirectArray<Tracked> borrowing(10, 10, false);
        borrowing.Add(&kept);
    }
    EXPECT_EQ(Tracked::alive, 1);
}
