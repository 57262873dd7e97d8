#include "batch/resize_and_write.h"

#include "batch/batch_host.h"
#include "batch/conversion_context.h"
#include "scale/resize_modes.h"

namespace qdx {

ResizeOptions ResizeOptionsOf(const Preset& preset) {
    ResizeOptions options;
    options.resizeMode = preset.resizeMode;
    options.targetWidth = preset.targetWidth;
    options.targetHeight = preset.targetHeight;
    options.keepAspect = preset.keepAspect != 0;
    options.resampleFilter = preset.resampleFilter;
    options.sharpness = preset.sharpness;
    return options;
}

bool ResizeAndWrite(ConversionContext& context, BatchHost* host) {
    if (context.preset) {
        const ResizeTools tools{context.scaling.get(), context.sharpen.get()};
        if (!ResizeImage(tools, ResizeOptionsOf(*context.preset), context.image)) return false;
        if (host) host->KeepResponsive();
    }
    return context.outputStep && context.outputStep(context);
}

}  // namespace qdx
