#pragma once
// Allocation callbacks handed to zlib: zero-filled blocks of items * size
// bytes from the private heap. Signatures match zlib's alloc_func/free_func.
namespace qdx {

void* CompressionAlloc(void* opaque, unsigned items, unsigned size);
void CompressionFree(void* opaque, void* address);

}  // namespace qdx
