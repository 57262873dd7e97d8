#pragma once
// Pieces shared by the batch tests: a host that records what the batch asks
// of it, stand-in codec steps, and a temporary folder the batch is pointed at.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "batch/batch.h"
#include "core/os/os.h"
#include "core/os/utf_convert.h"
#include "tests/support/temp_folder.h"

namespace qdx::test {

class RecordingHost final : public BatchHost {
public:
    void ShowErrorMessage(uint32_t textId) override { events.push_back("error " + std::to_string(textId)); }
    void ShowPictureTooLarge(uint32_t width, uint32_t height) override {
        events.push_back("too large " + std::to_string(width) + "x" + std::to_string(height));
    }
    void ShowErrorMessageNaming(uint32_t textId, const char16_t* name) override {
        events.push_back("error " + std::to_string(textId) + " " + Narrow(WideString(name)));
    }
    void SetBusyTitle() override { events.push_back("busy"); }
    void RestoreTitle() override { events.push_back("restore"); }
    void FileDone(uint32_t pathIndex, FileOutcome outcome) override {
        static constexpr const char* kNames[] = {"written", "missing",   "unreadable",   "not written",
                                                 "damaged", "too large", "out of memory"};
        files.push_back(std::to_string(pathIndex) + " " + kNames[static_cast<int>(outcome)]);
    }
    void BatchStarts(uint32_t fileCount) override { announced = fileCount; }
    bool StopRequested() override { return files.size() >= stopAfter; }
    void BatchStopped(uint32_t written) override { events.push_back("stopped " + std::to_string(written)); }

    int Count(const std::string& event) const {
        int n = 0;
        for (const auto& e : events) n += e == event;
        return n;
    }
    std::vector<std::string> events;
    std::vector<std::string> files;  // "<path index> <outcome>" per file and pass
    uint32_t announced = 0;          // the file count of BatchStarts
    size_t stopAfter = SIZE_MAX;     // files done before a stop is asked for
};

// Stand-in codecs: a file whose bytes start with "IMG" decodes into a 1x1
// picture whose bit depth is the fourth byte ('8' or else 24); anything else
// fails. The output step writes "<format>|<source name>|<saved depth>" to
// the temporary file, or fails when the source name contains "nowrite".
struct FakeCodecs {
    static FakeCodecs& Get() {
        static FakeCodecs state;
        return state;
    }
    void Reset() { *this = FakeCodecs(); }

    std::vector<std::string> decoded;  // UTF-8 paths, in order
    std::string lastSource;
    std::vector<std::string> tempPathsSeen;
    bool tempExistedWhenWriting = true;
    int pixelsLeftOver = 0;  // decodes that found the previous picture's buffer still held
    int writes = 0;

    static bool Decode(ConversionContext& context, const WideString& path) {
        FakeCodecs& self = Get();
        if (context.image.pixels.Get()) ++self.pixelsLeftOver;
        const std::string utf8 = Narrow(path);
        self.decoded.push_back(utf8);
        const std::string bytes = ReadBytes(path);
        if (bytes.compare(0, 3, "IMG") != 0) return false;
        const uint16_t depth = bytes.size() > 3 && bytes[3] == '8' ? 8 : 24;
        SetImageHeader(context.image, 1, 1, depth);
        context.image.pixels = AllocatePixelBuffer(1, 1, depth);
        self.lastSource = utf8.substr(utf8.find_last_of(static_cast<char>(os::kPathSeparator)) + 1);
        return context.image.pixels.Get() != nullptr;
    }
    static bool Write(ConversionContext& context) {
        FakeCodecs& self = Get();
        ++self.writes;
        const WideString& temp = *context.tempPath;
        self.tempPathsSeen.push_back(Narrow(temp));
        if (!os::FileExists(temp.Text())) self.tempExistedWhenWriting = false;
        if (self.lastSource.find("nowrite") != std::string::npos) return false;
        return WriteBytes(temp, std::to_string(context.preset->outputFormat) + "|" + self.lastSource + "|" +
                                    std::to_string(context.savedBitDepth));
    }
    static OutputStep StepFor(uint32_t) { return Write; }
    static const CodecSteps& Steps() {
        static const CodecSteps steps{Decode, StepFor};
        return steps;
    }
};

// Points the system's temporary folder (TMPDIR natively, TMP and TEMP on
// Windows) at `folder` for the life of the object.
class ScopedTemporaryFolder {
public:
    explicit ScopedTemporaryFolder(const WideString& folder) {
#if defined(_WIN32)
        Save(L"TMP", savedTmp_, hadTmp_);
        Save(L"TEMP", savedTemp_, hadTemp_);
        std::wstring value(reinterpret_cast<const wchar_t*>(folder.Text()));
        _wputenv_s(L"TMP", value.c_str());
        _wputenv_s(L"TEMP", value.c_str());
#else
        const char* old = std::getenv("TMPDIR");
        hadTmp_ = old != nullptr;
        if (old) saved_ = old;
        setenv("TMPDIR", Narrow(folder).c_str(), 1);
#endif
    }
    ~ScopedTemporaryFolder() {
#if defined(_WIN32)
        _wputenv_s(L"TMP", hadTmp_ ? savedTmp_.c_str() : L"");
        _wputenv_s(L"TEMP", hadTemp_ ? savedTemp_.c_str() : L"");
#else
        if (hadTmp_)
            setenv("TMPDIR", saved_.c_str(), 1);
        else
            unsetenv("TMPDIR");
#endif
    }
    ScopedTemporaryFolder(const ScopedTemporaryFolder&) = delete;
    ScopedTemporaryFolder& operator=(const ScopedTemporaryFolder&) = delete;

private:
#if defined(_WIN32)
    static void Save(const wchar_t* name, std::wstring& value, bool& had) {
        const wchar_t* old = _wgetenv(name);
        had = old != nullptr;
        if (old) value = old;
    }
    std::wstring savedTmp_, savedTemp_;
    bool hadTemp_ = false;
#else
    std::string saved_;
#endif
    bool hadTmp_ = false;
};

// Names of the entries of a folder (UTF-8), sorted; empty when it is missing.
std::vector<std::string> FolderEntries(const WideString& folder);

inline WideString Wide(const std::u16string& text) { return WideString(text.c_str()); }

}  // namespace qdx::test
