#pragma once
// Identifiers of the language texts the engine itself shows. The full list,
// with every text, lives in lang/<Language>.txt.
#include <cstdint>

namespace qdx {

inline constexpr uint32_t kTextBusyTitle = 20000;         // window title while a batch runs
inline constexpr uint32_t kTextErrorCaption = 30000;      // caption of every error message
inline constexpr uint32_t kTextOutOfMemory = 30001;
inline constexpr uint32_t kTextNothingConverted = 30002;
inline constexpr uint32_t kTextNoOutputFolder = 30003;
inline constexpr uint32_t kTextSubfolderFailed = 30004;
inline constexpr uint32_t kTextNoTemporaryFile = 30005;
inline constexpr uint32_t kTextBatchStopped = 30006;  // followed by the count of outputs
inline constexpr uint32_t kTextPictureTooLarge = 30007;  // after "<width> × <height>"
inline constexpr uint32_t kTextUnsafeOutputName = 30008;  // a stored suffix or subfolder leads elsewhere
inline constexpr uint32_t kTextOutputNameRefused = 30009; // the preset dialog refuses such a text
inline constexpr uint32_t kTextLibraryMissing = 30010;  // followed by the names of the missing files

// Language texts are read with at most this many UTF-16 code units.
inline constexpr uint32_t kMaxTextLength = 127;

}  // namespace qdx
