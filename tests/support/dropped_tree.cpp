#include "tests/support/dropped_tree.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "core/os/os.h"
#include "core/os/utf_convert.h"
#include "tests/support/gif_builder.h"
#include "tests/support/jpeg_fixtures.h"
#include "tests/support/png_files.h"
#include "tests/support/sample_images.h"
#include "tests/support/temp_folder.h"
#include "tests/support/tiff_file_builder.h"

namespace qdx::test {

namespace {

namespace fs = std::filesystem;

fs::path ToFs(const WideString& text) { return fs::path(std::u16string(text.Text(), text.Length())); }

const struct Level {
    const char* folder;
    int pictures, others;
} kLevels[] = {{"Trip", 12, 5}, {"Trip/a", 12, 4}, {"Trip/a/b", 11, 5}};

constexpr const char* kPictureExtensions[] = {".bmp", ".png", ".jpg", ".gif", ".tif"};
constexpr size_t kFormats = sizeof kPictureExtensions / sizeof kPictureExtensions[0];

// Picture `n` of a level, small, in format n % kFormats.
std::string MakePicture(int n) {
    const int width = 3 + n, height = 2;
    switch (size_t(n) % kFormats) {
        case 0:
            return MakeBmp24(width, height, uint32_t(n));
        case 1: {
            std::string rows;
            for (int y = 0; y < height; ++y) {
                rows += '\0';
                for (int x = 0; x < width * 3; ++x) rows += char(x * 29 + y * 7 + n);
            }
            return MakePng(uint32_t(width), uint32_t(height), 8, 2, rows);
        }
        case 2:
            return EncodeJpeg(MakeFixture(width, height, 3, [n](int x, int y, int c) { return x * 20 + y * 50 + c * n; }));
        case 3: {
            GifBuilder gif;
            gif.screenWidth = gif.width = 4;
            gif.screenHeight = gif.height = 1;
            gif.data = PackTracked({4, 0, 1, 2, 3, 5}, 2);
            const Bytes bytes = gif.Build();
            return std::string(bytes.begin(), bytes.end());
        }
        default: {
            SimpleTiff tiff;
            tiff.width = uint32_t(width);
            tiff.height = uint32_t(height);
            for (int i = 0; i < width * height; ++i) tiff.strip.push_back(uint8_t(i * 13 + n));
            return BuildSimpleTiff(tiff);
        }
    }
}

// File `n` of a level that is no picture: text, text named like a picture,
// or nothing at all.
void NotAPicture(int n, std::string& name, std::string& bytes) {
    static const struct {
        const char* extension;
        const char* bytes;
    } kOthers[] = {{".txt", "not a picture"}, {".png", "text named like a picture"}, {".dat", ""}};
    const auto& other = kOthers[size_t(n) % 3];
    name = "q";
    name += std::to_string(n);
    name += other.extension;
    bytes = other.bytes;
}

#if defined(_WIN32)
const wchar_t* W(const WideString& text) { return reinterpret_cast<const wchar_t*>(text.Text()); }

bool IsFolderLink(const WideString& path) {
    const DWORD attributes = ::GetFileAttributesW(W(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The Unix path of a Windows one under Wine; empty elsewhere.
std::string UnixPath(const WideString& path) {
    using UnixName = char*(__cdecl*)(const wchar_t*);
    HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
    const auto unixName =
        kernel ? reinterpret_cast<UnixName>(reinterpret_cast<void*>(::GetProcAddress(kernel, "wine_get_unix_file_name")))
               : nullptr;
    char* name = unixName ? unixName(W(path)) : nullptr;
    const std::string text = name ? name : "";
    if (name) ::HeapFree(::GetProcessHeap(), 0, name);
    return text;
}

// Runs a Unix program under Wine, which starts it but gives no handle to
// wait on, then waits until `done` (at most five seconds).
template <typename Done>
bool RunUnix(const wchar_t* program, const std::string& arguments, Done done) {
    WideString wide;
    AppendUtf8(wide, arguments.c_str());
    std::wstring command = W(wide);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!::CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    if (process.hThread) ::CloseHandle(process.hThread);
    if (process.hProcess) ::CloseHandle(process.hProcess);
    constexpr int kPolls = 100, kPollMs = 50;
    for (int i = 0; i < kPolls && !done(); ++i) ::Sleep(kPollMs);
    return done();
}
#endif

// Wine's own call makes no link (it only reports success); there the link is
// a Unix one, made by the system's `ln`.
bool MakeFolderLink(const WideString& link, const WideString& target, std::string& unixLink) {
#if defined(_WIN32)
    ::CreateSymbolicLinkW(W(link), W(target),
                          SYMBOLIC_LINK_FLAG_DIRECTORY | SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE);
    if (IsFolderLink(link)) return true;
    const std::string from = UnixPath(target), to = UnixPath(link);
    if (from.empty() || to.empty()) return false;
    unixLink = to;
    return RunUnix(L"Z:\\bin\\ln", std::string("ln -s \"") + from + "\" \"" + to + "\"",
                   [&link] { return IsFolderLink(link); });
#else
    (void)unixLink;
    std::error_code error;
    fs::create_directory_symlink(ToFs(target), ToFs(link), error);
    return !error;
#endif
}

bool MakeHidden(const WideString& folder, std::string& name) {
#if defined(_WIN32)
    name = "hidden.bmp";
    const WideString path = Below(folder, name);
    if (!WriteBytes(path, MakeBmp24(2, 2)) || !::SetFileAttributesW(W(path), FILE_ATTRIBUTE_HIDDEN)) return false;
    const DWORD attributes = ::GetFileAttributesW(W(path));
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_HIDDEN);
#else
    name = ".hidden.bmp";
    return WriteBytes(Below(folder, name), MakeBmp24(2, 2));
#endif
}

}  // namespace

WideString Below(const WideString& base, const std::string& relative) {
    WideString path(base);
    if (!path.IsEmpty() && path[path.Length() - 1] != os::kPathSeparator) path.Append(os::kPathSeparator);
    for (char c : relative) path.Append(c == '/' ? os::kPathSeparator : char16_t(uint8_t(c)));
    return path;
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

DroppedTree::~DroppedTree() {
#if defined(_WIN32)
    if (unixLink.empty()) return;
    const WideString link = Below(folder, "link");
    RunUnix(L"Z:\\bin\\rm", std::string("rm -f \"") + unixLink + "\"",
            [&link] { return ::GetFileAttributesW(W(link)) == INVALID_FILE_ATTRIBUTES; });
#endif
}

void MakeDroppedTree(const WideString& base, DroppedTree& tree) {
    tree.folder = Below(base, "Trip");
    auto fail = [&tree](const std::string& what) { tree.error += what + "; "; };
    for (const Level& level : kLevels) {
        std::error_code error;
        fs::create_directories(ToFs(Below(base, level.folder)), error);
        if (error) fail(std::string("folder ") + level.folder);
        for (int n = 1; n <= level.pictures; ++n) {
            const std::string path =
                std::string(level.folder) + "/p" + std::to_string(n) + kPictureExtensions[size_t(n) % kFormats];
            const std::string bytes = MakePicture(n);
            if (bytes.empty() || !WriteBytes(Below(base, path), bytes)) fail(path);
            tree.files.push_back({path, true});
        }
        for (int n = 1; n <= level.others; ++n) {
            std::string name, bytes;
            NotAPicture(n, name, bytes);
            const std::string path = std::string(level.folder) + "/" + name;
            if (!WriteBytes(Below(base, path), bytes)) fail(path);
            tree.files.push_back({path, false});
        }
    }
    std::string hidden;
    if (!MakeHidden(Below(base, "Trip/a"), hidden)) fail("hidden file " + hidden);
    const WideString outside = Below(base, "outside");
    if (!os::CreateFolder(outside.Text()) || !WriteBytes(Below(base, "outside/o1.bmp"), MakeBmp24(2, 2)))
        fail("the folder outside");
    if (!MakeFolderLink(Below(base, "Trip/link"), outside, tree.unixLink)) fail("the link to the folder outside");
}

std::set<std::string> FilesBelow(const WideString& folder) {
    std::set<std::string> files;
    const fs::path root = ToFs(folder);
    std::error_code error;
    for (fs::recursive_directory_iterator it(root, error), end; !error && it != end; it.increment(error))
        if (it->is_regular_file()) files.insert(it->path().lexically_relative(root).generic_string());
    return files;
}

std::set<std::string> TreeOutputs(const DroppedTree& tree, const std::string& prefix, const std::string& ending) {
    std::set<std::string> outputs;
    for (const TreeFile& file : tree.files)
        if (file.picture) outputs.insert(prefix + file.path.substr(0, file.path.find_last_of('.')) + ending);
    return outputs;
}

}  // namespace qdx::test
