#pragma once
// The codes a Preset stores for its choices, named once for the settings,
// the batch, the writers' callers and scaling.
#include <cstdint>

namespace qdx {

// `jpegSubsampling` codes of a Preset: chroma at half resolution both ways
// (2 x 2) or at full resolution.
inline constexpr int32_t kChromaHalved = 0;
inline constexpr int32_t kChromaFullResolution = 2;

// OutputFormat codes (the `outputFormat` field of a Preset); any code but
// 1 to 5 writes BMP.
inline constexpr uint32_t kOutputBmp = 0;
inline constexpr uint32_t kOutputPng = 1;
inline constexpr uint32_t kOutputJpeg = 2;
inline constexpr uint32_t kOutputGif = 3;
inline constexpr uint32_t kOutputTiff = 4;
inline constexpr uint32_t kOutputWebp = 5;

// `resizeMode` codes of a Preset.
inline constexpr uint32_t ResizeNone = 0;
inline constexpr uint32_t ResizeToWidth = 1;
inline constexpr uint32_t ResizeToHeight = 2;
inline constexpr uint32_t ResizeLongerSide = 3;
inline constexpr uint32_t ResizeShorterSide = 4;
inline constexpr uint32_t ResizeToBox = 5;

// Filter codes (the `resampleFilter` of a Preset).
inline constexpr uint32_t FilterAreaAverage = 0;
inline constexpr uint32_t FilterBicubic = 1;
inline constexpr uint32_t FilterNearest = 2;
inline constexpr uint32_t FilterHalftone = 3;

// `colourProfiles` codes of the settings: what the batch does with a profile
// a picture's file carries.
inline constexpr uint32_t kColourProfilesAsStored = 0;  // the numbers as they are
inline constexpr uint32_t kColourProfilesToSrgb = 1;
inline constexpr uint32_t kColourProfilesCount = 2;

// `keepMetadata` codes of the settings: what of a source's Exif its outputs
// carry.
inline constexpr uint32_t kKeepNoMetadata = 0;
inline constexpr uint32_t kKeepDateAndCamera = 1;  // date taken, camera, lens and exposure
inline constexpr uint32_t kKeepAllButLocation = 2;
inline constexpr uint32_t kKeepMetadataCount = 3;

}  // namespace qdx
