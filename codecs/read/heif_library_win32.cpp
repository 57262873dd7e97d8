// On Windows the table is filled from libheif.dll, loaded by full path from
// the program's folder together with libde265.dll, which it imports.
#include <mutex>

#include "codecs/read/heif_library.h"
#include "core/os/program_library.h"

namespace qdx {

namespace {

// The libraries stay loaded until the program ends once the table is filled.
struct LoadedHeif {
    std::mutex mutex;
    os::ProgramLibrary hevc;
    os::ProgramLibrary heif;
    HeifFunctions functions{};
    bool ready = false;
};

template <class Function>
bool Take(const os::ProgramLibrary& library, const char* name, Function& function) {
    function = reinterpret_cast<Function>(library.Symbol(name));
    return function != nullptr;
}

bool TakeAll(const os::ProgramLibrary& library, HeifFunctions& f) {
    return Take(library, "heif_context_alloc", f.contextAlloc) && Take(library, "heif_context_free", f.contextFree) &&
           Take(library, "heif_context_read_from_memory_without_copy", f.readFromMemory) &&
           Take(library, "heif_context_set_maximum_image_size_limit", f.setMaximumSize) &&
           Take(library, "heif_context_get_primary_image_handle", f.primaryImageHandle) &&
           Take(library, "heif_image_handle_release", f.handleRelease) &&
           Take(library, "heif_image_handle_get_width", f.handleWidth) &&
           Take(library, "heif_image_handle_get_height", f.handleHeight) &&
           Take(library, "heif_image_handle_has_alpha_channel", f.handleHasAlpha) &&
           Take(library, "heif_image_handle_is_premultiplied_alpha", f.handlePremultipliedAlpha) &&
           Take(library, "heif_image_handle_get_luma_bits_per_pixel", f.handleLumaBits) &&
           Take(library, "heif_decoding_options_alloc", f.optionsAlloc) &&
           Take(library, "heif_decoding_options_free", f.optionsFree) &&
           Take(library, "heif_decode_image", f.decodeImage) && Take(library, "heif_image_get_width", f.imageWidth) &&
           Take(library, "heif_image_get_height", f.imageHeight) &&
           Take(library, "heif_image_get_bits_per_pixel_range", f.imageBits) &&
           Take(library, "heif_image_get_plane_readonly", f.planeReadonly) &&
           Take(library, "heif_image_release", f.imageRelease) &&
           Take(library, "heif_image_handle_get_raw_color_profile_size", f.rawProfileSize) &&
           Take(library, "heif_image_handle_get_raw_color_profile", f.rawProfile) &&
           Take(library, "heif_image_handle_get_nclx_color_profile", f.nclxProfile) &&
           Take(library, "heif_nclx_color_profile_free", f.nclxFree) &&
           Take(library, "heif_image_handle_get_number_of_metadata_blocks", f.metadataCount) &&
           Take(library, "heif_image_handle_get_list_of_metadata_block_IDs", f.metadataIds) &&
           Take(library, "heif_image_handle_get_metadata_size", f.metadataSize) &&
           Take(library, "heif_image_handle_get_metadata", f.metadata);
}

}  // namespace

const HeifFunctions* LoadHeifFunctions(const char16_t*& missing) {
    static LoadedHeif loaded;
    std::lock_guard<std::mutex> lock(loaded.mutex);
    missing = nullptr;
    if (loaded.ready) return &loaded.functions;
    // libde265.dll first, by its full path: libheif.dll's import of it then
    // finds the library already loaded.
    const bool hevc = os::LoadBesideProgram(kHevcLibraryFile, loaded.hevc);
    const bool heif = hevc && os::LoadBesideProgram(kHeifLibraryFile, loaded.heif) &&
                      TakeAll(loaded.heif, loaded.functions);
    if (heif) {
        loaded.ready = true;
        return &loaded.functions;
    }
    // Name what is missing; a file that is there but would not load (or
    // lacks a function) is named as well.
    static constexpr char16_t kBoth[] = u"libheif.dll, libde265.dll";
    missing = hevc ? kHeifLibraryFile : os::FileBesideProgram(kHeifLibraryFile) ? kHevcLibraryFile : kBoth;
    loaded.heif.Unload();
    loaded.hevc.Unload();
    return nullptr;
}

}  // namespace qdx
