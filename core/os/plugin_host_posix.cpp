// Reader plug-ins elsewhere than on Windows: there are none. No library
// loads, no folder lists a plug-in, and every call fails.
#include <cstring>
#include <utility>

#include "core/os/plugin_host.h"
#include "core/os/utf_convert.h"
#include "core/os/wide_string.h"

namespace qdx::os {

PluginMemoryBlock::PluginMemoryBlock(PluginMemoryBlock&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), locked_(std::exchange(other.locked_, nullptr)) {}
PluginMemoryBlock& PluginMemoryBlock::operator=(PluginMemoryBlock&& other) noexcept {
    handle_ = std::exchange(other.handle_, nullptr);
    locked_ = std::exchange(other.locked_, nullptr);
    return *this;
}
void PluginMemoryBlock::Adopt(void*) {}
const uint8_t* PluginMemoryBlock::Lock(size_t& size) {
    size = 0;
    return nullptr;
}
void PluginMemoryBlock::Release() {}

PluginLibrary::PluginLibrary(PluginLibrary&& other) noexcept
    : module_(std::exchange(other.module_, nullptr)), faulted_(std::exchange(other.faulted_, false)) {}
PluginLibrary& PluginLibrary::operator=(PluginLibrary&& other) noexcept {
    module_ = std::exchange(other.module_, nullptr);
    faulted_ = std::exchange(other.faulted_, false);
    return *this;
}
void PluginLibrary::Unload() { module_ = nullptr; }
bool LoadPluginLibrary(const char16_t*, PluginLibrary& library) {
    library.Unload();
    return false;
}
void* PluginLibrary::Export(const char*) const { return nullptr; }
bool PluginLibrary::HasExport(const char*) const { return false; }
int32_t PluginLibrary::GetPluginInfo(int32_t, char* text, int32_t size) {
    if (size > 0) text[0] = 0;
    return 0;
}
bool PluginLibrary::IsSupported(const char*, const uint8_t*) { return false; }
bool PluginLibrary::GetPictureInfo(const char*, int32_t, PluginPictureInfo& info) {
    std::memset(&info, 0, sizeof info);
    return false;
}
bool PluginLibrary::GetPicture(const char*, int32_t, PluginMemoryBlock&, PluginMemoryBlock&) { return false; }
bool PluginLibrary::OpenConfiguration(intptr_t) { return false; }

std::vector<WideString> ListPluginFiles(const WideString&, const char16_t*) { return {}; }

// The system's texts are UTF-8 here.
bool PathToAnsi(const char16_t* path, char* out) {
    const std::string utf8 = ToUtf8(path ? path : u"");
    out[0] = 0;
    if (utf8.size() >= kPluginPathBytes) return false;
    std::memcpy(out, utf8.c_str(), utf8.size() + 1);
    return true;
}

bool AppendAnsi(WideString& out, const char* text) { return AppendUtf8(out, text); }

}  // namespace qdx::os
