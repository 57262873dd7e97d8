#pragma once
// The libheif functions the HEIF reader calls, in one table. On Windows
// libheif.dll (with the AV1 decoder inside) and libde265.dll are separate
// libraries beside the program, loaded when the first HEIF file arrives;
// the program reads everything else without them. Natively they are linked in.
#include <libheif/heif.h>

namespace qdx {

struct HeifFunctions {
    decltype(&heif_context_alloc) contextAlloc;
    decltype(&heif_context_free) contextFree;
    decltype(&heif_context_read_from_memory_without_copy) readFromMemory;
    decltype(&heif_context_set_maximum_image_size_limit) setMaximumSize;
    decltype(&heif_context_get_primary_image_handle) primaryImageHandle;
    decltype(&heif_image_handle_release) handleRelease;
    decltype(&heif_image_handle_get_width) handleWidth;
    decltype(&heif_image_handle_get_height) handleHeight;
    decltype(&heif_image_handle_has_alpha_channel) handleHasAlpha;
    decltype(&heif_image_handle_is_premultiplied_alpha) handlePremultipliedAlpha;
    decltype(&heif_image_handle_get_luma_bits_per_pixel) handleLumaBits;
    decltype(&heif_decoding_options_alloc) optionsAlloc;
    decltype(&heif_decoding_options_free) optionsFree;
    decltype(&heif_decode_image) decodeImage;
    decltype(&heif_image_get_width) imageWidth;
    decltype(&heif_image_get_height) imageHeight;
    decltype(&heif_image_get_bits_per_pixel_range) imageBits;
    decltype(&heif_image_get_plane_readonly) planeReadonly;
    decltype(&heif_image_release) imageRelease;
    // What the file carries beside the pixels: its colour description and
    // its Exif item.
    decltype(&heif_image_handle_get_raw_color_profile_size) rawProfileSize;
    decltype(&heif_image_handle_get_raw_color_profile) rawProfile;
    decltype(&heif_image_handle_get_nclx_color_profile) nclxProfile;
    decltype(&heif_nclx_color_profile_free) nclxFree;
    decltype(&heif_image_handle_get_number_of_metadata_blocks) metadataCount;
    decltype(&heif_image_handle_get_list_of_metadata_block_IDs) metadataIds;
    decltype(&heif_image_handle_get_metadata_size) metadataSize;
    decltype(&heif_image_handle_get_metadata) metadata;
};

// The library files, as the message about a missing one names them.
inline constexpr char16_t kHeifLibraryFile[] = u"libheif.dll";
inline constexpr char16_t kHevcLibraryFile[] = u"libde265.dll";

// The functions, loading the libraries on the first call that finds them
// (a call that does not tries again, so files put back later are found).
// Null when they cannot be loaded; then `missing` names the files that are
// missing or would not load, separated by ", ". Safe from any thread.
const HeifFunctions* LoadHeifFunctions(const char16_t*& missing);

}  // namespace qdx
