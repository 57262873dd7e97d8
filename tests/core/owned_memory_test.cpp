#include "core/os/owned_memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <type_traits>
#include <utility>

#include "core/decoded_image.h"

namespace qdx {
namespace {

// A copy would release the same buffer twice.
static_assert(!std::is_copy_constructible_v<DecodedImage> && !std::is_copy_assignable_v<DecodedImage>);
static_assert(std::is_nothrow_move_constructible_v<DecodedImage> && std::is_nothrow_move_assignable_v<DecodedImage>);

TEST(OwnedMemory, APictureHandsItsBufferOnWhenMoved) {
    DecodedImage first;
    SetImageHeader(first, 3, 2, 24);
    first.pixels = AllocatePixelBuffer(3, 2, 24);
    ASSERT_TRUE(first.pixels);
    uint8_t* const buffer = first.pixels.Get();

    DecodedImage second = std::move(first);
    EXPECT_EQ(second.pixels.Get(), buffer);
    EXPECT_FALSE(first.pixels);
    // Taking another picture's buffer returns the one held before (the leak
    // check of the sanitizer build sees any that is not).
    DecodedImage third;
    third.pixels = AllocatePixelBuffer(1, 1, 8);
    third = std::move(second);
    EXPECT_EQ(third.pixels.Get(), buffer);
}

TEST(OwnedMemory, ArraysRefuseSizesThatOverflow) {
    os::HeapArray<uint64_t> array;
    ASSERT_TRUE(array.Allocate(3, 4));
    EXPECT_EQ(array[2], 0u);
    EXPECT_FALSE(array.Allocate(UINT64_MAX / 8 + 1));
    EXPECT_FALSE(array);  // what was held went with the refusal
    EXPECT_FALSE(array.Allocate(UINT64_MAX / 8, 8));
}

TEST(OwnedMemory, AResizedHeapBlockKeepsItsBytes) {
    os::HeapMemory block;
    ASSERT_TRUE(block.Allocate(16));
    block.Get()[15] = 7;
    ASSERT_TRUE(os::ResizeHeapMemory(block, 100000));
    EXPECT_EQ(block.Get()[15], 7);
    EXPECT_EQ(block.Get()[99999], 0);
    uint8_t* const held = block.Get();
    EXPECT_FALSE(os::ResizeHeapMemory(block, 0));
    EXPECT_EQ(block.Get(), held);  // a refused size leaves the block as it was
}

}  // namespace
}  // namespace qdx
