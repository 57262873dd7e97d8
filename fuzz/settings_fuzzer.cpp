// Feeds arbitrary bytes to the settings loader as a settings file, then saves
// over it and checks that the saved file loads back to the same settings,
// that an entry 5 block of the old file survives, and that saving again
// writes the very same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/file_helpers.h"
#include "core/os/os.h"
#include "core/os/path_edit.h"
#include "core/settings_file.h"

namespace {

using qdx::WideString;

const WideString& FuzzFilePath() {
    static WideString path;
    if (path.IsEmpty()) {
        // Every save flushes its file to disk; a memory-backed folder keeps
        // that from dominating the run time.
        WideString folder(u"/dev/shm");
        if (!qdx::os::FolderExists(folder.Text()) && !qdx::os::TemporaryFolder(folder)) std::abort();
        if (!qdx::os::CreateTemporaryFile(folder, path)) std::abort();
        std::atexit([] {
            qdx::os::RemoveFile(path.Text());
            WideString replacement;
            qdx::SettingsReplacementPath(path.Text(), replacement);
            qdx::os::RemoveFile(replacement.Text());
        });
    }
    return path;
}

bool WriteWhole(const WideString& path, const uint8_t* data, size_t size) {
    qdx::os::File file;
    return qdx::os::CreateForWrite(path.Text(), file) && qdx::os::WriteAll(file, data, uint32_t(size));
}

std::string ReadWhole(const WideString& path) {
    qdx::os::File file;
    uint64_t size = 0;
    if (!qdx::os::OpenForReadShared(path.Text(), file) || !qdx::os::FileSize(file, size)) return {};
    std::string bytes(size_t(size), '\0');
    if (!qdx::os::ReadExact(file, bytes.data(), uint32_t(size))) return {};
    return bytes;
}

uint32_t U32(const uint8_t* data, size_t at) { return qdx::LoadLittleEndian32(data + at); }

// The bytes of the input's entry 5 when the saver is to carry them over.
bool OldEntryFive(const uint8_t* data, size_t size, std::string& block) {
    if (size < 4) return false;
    const uint32_t count = U32(data, 0) & 0xFFFF;
    if (count <= qdx::settings_file::kUnused || size < 4 + 8 * size_t(std::min(count, qdx::settings_file::kEntryCount))) return false;
    const uint64_t a = U32(data, 4 + 8 * 5), b = U32(data, 8 + 8 * 5);
    const uint64_t dataStart = 4 + 8 * uint64_t(count);
    if (a < 2 || a < dataStart || dataStart > size || a + b > size) return false;
    block.assign(reinterpret_cast<const char*>(data) + a, size_t(b));
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const WideString& path = FuzzFilePath();
    if (!WriteWhole(path, data, size)) return 0;

    qdx::Settings loaded;
    qdx::LoadSettings(path.Text(), loaded);
    if (!qdx::SaveSettings(path.Text(), loaded)) __builtin_trap();

    // Only excluded plug-ins whose files exist are written.
    qdx::Settings expected = loaded;
    expected.excludedPlugins.clear();
    for (const WideString& name : loaded.excludedPlugins) {
        WideString file;
        SetFolderPlusName(file, loaded.pluginFolder.Text(), name.Text());
        if (!file.IsEmpty() && qdx::os::FileExists(file.Text())) expected.excludedPlugins.push_back(name);
    }
    qdx::Settings reloaded;
    qdx::LoadSettings(path.Text(), reloaded);
    if (!(reloaded == expected)) __builtin_trap();

    const std::string saved = ReadWhole(path);
    if (saved.size() < qdx::settings_file::kDataStart ||
        qdx::LoadLittleEndian32(reinterpret_cast<const uint8_t*>(saved.data())) != qdx::settings_file::kHeader)
        __builtin_trap();
    std::string entryFive;
    if (OldEntryFive(data, size, entryFive)) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(saved.data());
        const uint32_t a = U32(bytes, 4 + 8 * 5), b = U32(bytes, 8 + 8 * 5);
        if (b != entryFive.size() || (b > 0 && saved.compare(a, b, entryFive) != 0)) __builtin_trap();
    }

    if (!qdx::SaveSettings(path.Text(), reloaded) || ReadWhole(path) != saved) __builtin_trap();
    return 0;
}
