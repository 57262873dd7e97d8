#include "core/pixel_budget.h"

#include "core/result_codes.h"

namespace qdx {

namespace {
uint32_t Refuse(PixelBudget* budget, uint32_t code, uint64_t width, uint64_t height) {
    if (budget) {
        budget->refusal = code;
        budget->refusedWidth = uint32_t(width > UINT32_MAX ? UINT32_MAX : width);
        budget->refusedHeight = uint32_t(height > UINT32_MAX ? UINT32_MAX : height);
    }
    return code;
}
}  // namespace

uint32_t AdmitPicture(PixelBudget* budget, uint64_t width, uint64_t height) {
    const uint64_t limit = budget ? budget->maxPixels : kDefaultMaxPixels;
    // Both sides are below 2^32, so the product cannot overflow.
    if (width > UINT32_MAX || height > UINT32_MAX || width * height > limit)
        return Refuse(budget, kStatusTooManyPixels, width, height);
    if (!budget) return 0;
    const uint64_t bytes = width * height * kAdmittedBytesPerPixel;
    if ((budget->memoryBytes != 0 && bytes > budget->memoryBytes / kAdmittedCopies) ||
        (budget->gate && !budget->gate->Reserve(bytes)))
        return Refuse(budget, kStatusOutOfMemory, width, height);
    return 0;
}

}  // namespace qdx
