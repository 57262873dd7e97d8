#pragma once
// The quality search of the size-limited JPEG and WebP writers: start at the
// preset's quality, halve the step at every attempt, go down while the file
// is too large and up while it fits, and stop when a quality that fits is
// met a second time (the next one up did not fit) or quality 1 was tried.
#include <cstdint>

namespace qdx {

// Compresses at `quality` and reports the bytes produced; false when the
// compression failed.
using QualityAttempt = bool (*)(void* context, int32_t quality, uint32_t& size);

// Returns false when an attempt failed; `quality` ends at the last quality
// tried, whose output is the one to keep (over the limit only when nothing
// down to quality 1 fitted).
bool SearchQuality(int32_t& quality, uint32_t limitBytes, QualityAttempt attempt, void* context);

}  // namespace qdx
