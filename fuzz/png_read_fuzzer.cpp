// Feeds arbitrary bytes to the PNG reader as a file, checksums checked as
// usual. Pictures above 16 million pixels are skipped so that a run is not
// spent paging in huge buffers; the size checks themselves are unit-tested.
#include "fuzz/png_fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qdx::fuzz::ReadPngInput(data, size);
    return 0;
}
