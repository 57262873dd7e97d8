#pragma once
// Applies the preset's resize mode to the context's image, then runs the
// selected output step and returns its result.
namespace qdx {

struct ConversionContext;

bool ResizeAndWrite(ConversionContext& context);

}  // namespace qdx
