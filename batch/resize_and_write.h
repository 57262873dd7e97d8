#pragma once
// The step between decoding and placing a file: the preset's resize, then the
// pass's output step into the temporary file.
namespace qdx {

class BatchHost;
struct ConversionContext;
struct Preset;
struct ResizeOptions;

// The resize fields of a preset.
ResizeOptions ResizeOptionsOf(const Preset& preset);

// Applies the preset's resize mode to the context's picture, then calls the
// context's output step and returns its result. False without writing when
// the resize fails. Without a preset the picture is written as it is.
// `host`, when given, is asked to keep responsive between the two steps.
bool ResizeAndWrite(ConversionContext& context, BatchHost* host = nullptr);

}  // namespace qdx
