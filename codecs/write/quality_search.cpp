#include "codecs/write/quality_search.h"

namespace qdx {

bool SearchQuality(int32_t& quality, uint32_t limitBytes, QualityAttempt attempt, void* context) {
    int32_t q = quality;
    uint32_t size = 0;
    if (!attempt(context, q, size)) return false;
    if (size > limitBytes && q > 1) {
        int32_t step = q / 2;
        q -= step;
        int32_t last = 1;
        do {
            quality = q;
            if (!attempt(context, q, size)) return false;
            if (q == 1) break;
            if (step > 1) step /= 2;
            if (size > limitBytes) {
                q -= step;
            } else {
                if (last == q) break;
                last = q;
                q += step;
            }
        } while (q >= 1);
    }
    return true;
}

}  // namespace qdx
