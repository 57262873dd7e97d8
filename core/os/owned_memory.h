#pragma once
// Move-only owners of the two kinds of engine memory: pixel buffers from the
// virtual-memory allocator and blocks of the private heap. A block is
// returned exactly once, when its owner goes or is reset; Release hands it on.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

#include "core/os/os.h"

namespace qdx::os {

template <void* (*AllocateFn)(size_t), void (*FreeFn)(void*)>
class OwnedMemory {
public:
    OwnedMemory() = default;
    // Takes over a block that came from the matching allocator.
    explicit OwnedMemory(uint8_t* adopted) : data_(adopted) {}
    OwnedMemory(const OwnedMemory&) = delete;
    OwnedMemory& operator=(const OwnedMemory&) = delete;
    OwnedMemory(OwnedMemory&& other) noexcept : data_(other.Release()) {}
    OwnedMemory& operator=(OwnedMemory&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    ~OwnedMemory() { Reset(); }

    // Returns what was held, then takes a zero-filled block of `size` bytes;
    // false (holding nothing) when the size does not fit or memory is short.
    bool Allocate(uint64_t size) {
        Reset();
        if (size > SIZE_MAX) return false;
        data_ = static_cast<uint8_t*>(AllocateFn(size_t(size)));
        return data_ != nullptr;
    }
    // Returns what was held and takes `adopted` (null: nothing).
    void Reset(uint8_t* adopted = nullptr) {
        if (data_ && data_ != adopted) FreeFn(data_);
        data_ = adopted;
    }
    // Hands the block on; the owner holds nothing afterwards.
    [[nodiscard]] uint8_t* Release() {
        uint8_t* block = data_;
        data_ = nullptr;
        return block;
    }

    uint8_t* Get() const { return data_; }
    explicit operator bool() const { return data_ != nullptr; }

private:
    uint8_t* data_ = nullptr;
};

// A pixel buffer (AllocatePixels / FreePixels).
using PixelMemory = OwnedMemory<AllocatePixels, FreePixels>;
// A private-heap block (PrivateAlloc / PrivateFree).
using HeapMemory = OwnedMemory<PrivateAlloc, PrivateFree>;

// A typed array in one owned block: elements without casts at every use.
template <typename T, typename Memory>
class OwnedArray {
public:
    // Returns what was held, then takes `count` zero-filled elements and
    // `slackBytes` more; false (holding nothing) when the size overflows or
    // memory is short.
    bool Allocate(uint64_t count, uint64_t slackBytes = 0) {
        memory_.Reset();
        if (count > (UINT64_MAX - slackBytes) / sizeof(T)) return false;
        return memory_.Allocate(count * sizeof(T) + slackBytes);
    }
    void Reset() { memory_.Reset(); }

    T* Get() const { return reinterpret_cast<T*>(memory_.Get()); }
    T& operator[](size_t i) const { return Get()[i]; }
    explicit operator bool() const { return bool(memory_); }

private:
    Memory memory_;
};
template <typename T>
using PixelArray = OwnedArray<T, PixelMemory>;
template <typename T>
using HeapArray = OwnedArray<T, HeapMemory>;

// Resizes a private-heap block, keeping what it held (new bytes zero-filled).
// False, the block unchanged, when the size does not fit or memory is short.
inline bool ResizeHeapMemory(HeapMemory& memory, uint64_t size) {
    if (size == 0 || size > SIZE_MAX) return false;
    void* block = PrivateRealloc(memory.Get(), size_t(size));
    if (!block) return false;
    (void)memory.Release();  // moved or grown in place: the old address is gone
    memory.Reset(static_cast<uint8_t*>(block));
    return true;
}

// One object on the private heap, destroyed and returned when its owner goes.
template <typename T>
struct HeapObjectDelete {
    void operator()(T* object) const {
        object->~T();
        PrivateFree(object);
    }
};
template <typename T>
using HeapObject = std::unique_ptr<T, HeapObjectDelete<T>>;

// A value-initialised T on the private heap; empty when memory is short.
template <typename T>
HeapObject<T> MakeHeapObject() {
    void* block = PrivateAlloc(sizeof(T));
    return HeapObject<T>(block ? new (block) T() : nullptr);
}

}  // namespace qdx::os
