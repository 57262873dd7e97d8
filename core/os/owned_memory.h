#pragma once
// Move-only owners of the two kinds of engine memory: pixel buffers from the
// virtual-memory allocator and blocks of the private heap. A block is
// returned exactly once, when its owner goes or is reset; Release hands it on.
#include <cstddef>
#include <cstdint>

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

}  // namespace qdx::os
