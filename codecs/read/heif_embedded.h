#pragma once
// What a HEIF or AVIF file carries beside its primary image: an ICC profile
// (a colr box of type prof or rICC), or else a colour description by code
// points (a colr box of type nclx), made into a profile when it is not
// sRGB's; and the Exif item of the primary image. Damaged or oversized
// blocks are left out; the pixels never depend on them.
struct heif_image_handle;

namespace qdx {

struct DecodedImage;
struct HeifFunctions;

// Fills `image.iccProfile` and `image.exif` (each emptied first).
void ReadHeifEmbeddedData(const HeifFunctions& f, const heif_image_handle* handle, DecodedImage& image);

}  // namespace qdx
