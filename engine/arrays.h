// The engine's growable arrays: TDirectArray keeps values contiguously, TIndirectArray
// keeps pointers and may own what they point to. They grow and shrink in fixed steps
// and report memory exhaustion through a sticky error state instead of throwing.
#pragma once
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <type_traits>

enum ArrayError : uint32_t {
    ARRAY_OK = 0,
    ARRAY_NO_MEMORY = 1,
    ARRAY_DESTROYED = 4,
};

// Elements are moved by reallocation, so they must be trivially copyable.
template <typename T>
class TDirectArray {
    static_assert(std::is_trivially_copyable_v<T>, "engine arrays hold plain records");

public:
    uint32_t error = ARRAY_OK;
    int32_t count = 0;
    T* storage = nullptr;
    int32_t capacity = 0;
    int32_t initialCapacity;
    int32_t growth;

    TDirectArray(int32_t initial, int32_t step)
        : initialCapacity(initial < 1 ? 1 : initial), growth(step < 1 ? 1 : step) {
        storage = static_cast<T*>(std::malloc(sizeof(T) * size_t(initialCapacity)));
        if (storage) capacity = initialCapacity;
        else error = ARRAY_NO_MEMORY;
    }
    TDirectArray(const TDirectArray&) = delete;
    TDirectArray& operator=(const TDirectArray&) = delete;

    virtual ~TDirectArray() { Destroy(); }

    // The first error sticks.
    virtual void SetError(uint32_t code) {
        if (error == ARRAY_OK) error = code;
    }
    // Releasing one element: nothing for plain values.
    virtual void ReleaseElement(T* /*element*/) {}
    virtual int32_t Hook(int32_t /*argument*/) { return 0; }

    int32_t Add(const T& element) {
        if (count >= capacity) Grow();
        if (error != ARRAY_OK || count >= capacity) return -1;
        std::memcpy(static_cast<void*>(&storage[count]), &element, sizeof(T));
        return count++;
    }

    void RemoveAt(int32_t index) {
        if (index < 0 || index >= count) return;
        ReleaseElement(&storage[index]);
        std::memmove(static_cast<void*>(&storage[index]), &storage[index + 1], sizeof(T) * size_t(count - index - 1));
        --count;
        if (capacity > initialCapacity && capacity - growth == count) Resize(capacity - growth);
    }

    void RemoveAll() {
        if (count <= 0) return;
        for (int32_t i = 0; i < count; ++i) ReleaseElement(&storage[i]);
        count = 0;
        if (capacity != initialCapacity) Resize(initialCapacity);
    }

    // Frees the storage even after an out-of-memory error, so nothing leaks; a destroyed
    // array stays destroyed.
    void Destroy() {
        if (error == ARRAY_DESTROYED || !storage) return;
        for (int32_t i = 0; i < count; ++i) ReleaseElement(&storage[i]);
        std::free(storage);
        storage = nullptr;
        count = 0;
        capacity = 0;
        error = ARRAY_DESTROYED;
    }

    T& operator[](int32_t i) { return storage[i]; }
    const T& operator[](int32_t i) const { return storage[i]; }

protected:
    void Grow() { Resize(capacity + growth); }

    void Resize(int32_t newCapacity) {
        if (error == ARRAY_DESTROYED) return;
        if (newCapacity < 1) newCapacity = 1;
        void* p = std::realloc(static_cast<void*>(storage), sizeof(T) * size_t(newCapacity));
        if (!p) {
            SetError(ARRAY_NO_MEMORY);
            return;
        }
        storage = static_cast<T*>(p);
        capacity = newCapacity;
    }
};

// Pointers to objects of type T; when it owns them, releasing an element deletes the
// object (whose destructor releases what the object itself owns).
template <typename T>
class TIndirectArray : public TDirectArray<void*> {
public:
    int32_t ownsElements;

    TIndirectArray(int32_t initial, int32_t step, bool owns)
        : TDirectArray<void*>(initial, step), ownsElements(owns ? 1 : 0) {}
    ~TIndirectArray() override { Destroy(); }

    void ReleaseElement(void** element) override {
        if (ownsElements && element && *element) {
            delete static_cast<T*>(*element);
            *element = nullptr;
        }
    }

    T* At(int32_t i) const { return static_cast<T*>(storage[i]); }
};
