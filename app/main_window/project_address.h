#pragma once
// The project's home on the web: shown in the version window and the
// fallback for help when no compiled help file lies beside the executable.
namespace qdx::app {

inline constexpr char16_t kProjectAddress[] = u"https://quillodex.example.org/";
inline constexpr char16_t kWebHelpAddress[] = u"https://quillodex.example.org/help/";

}  // namespace qdx::app
