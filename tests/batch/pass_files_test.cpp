// Files converted side by side: the batch with four threads writes the very
// files, under the very names, with the very messages of the batch with one
// thread, also when two presets write into one folder and when it is stopped.
#include "batch/pass_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "core/worker_pool.h"
#include "tests/batch/batch_test_support.h"
#include "tests/support/blank_settings.h"
#include "tests/support/sample_images.h"

namespace qdx {
namespace {

struct Outcome {
    uint32_t written = 0;
    std::vector<std::string> events;
    std::vector<std::string> done;             // what became of each file, in order
    std::map<std::string, std::string> files;  // path below the root -> bytes
    uint32_t workers = 0;                      // of a pass over the first three inputs
};

WideString Utf8Path(const std::filesystem::path& path) {
    WideString text;
    AppendUtf8(text, path.string().c_str());
    return text;
}

Outcome RunWithThreads(uint32_t threads, size_t stopAfter) {
    test::TempFolder root;
    const std::filesystem::path base(test::Narrow(root.Path()));
    for (const char* folder : {"tmp", "in", "other", "out"}) std::filesystem::create_directories(base / folder);
    test::ScopedTemporaryFolder scoped(Utf8Path(base / "tmp"));

    // Pictures of several sizes, one file that is no picture, one that is
    // gone, and a second "p1" from another folder (the same output name).
    std::vector<WideString> paths;
    for (int i = 0; i < 6; ++i) {
        const std::filesystem::path file = base / "in" / ("p" + std::to_string(i) + ".bmp");
        EXPECT_TRUE(test::WriteBytes(Utf8Path(file), test::MakeBmp24(40 + 7 * i, 30 + 5 * i, uint32_t(i + 1))));
        paths.push_back(Utf8Path(file));
    }
    EXPECT_TRUE(test::WriteBytes(Utf8Path(base / "in" / "broken.bmp"), std::string("BM not a picture")));
    paths.insert(paths.begin() + 2, Utf8Path(base / "in" / "broken.bmp"));
    paths.push_back(Utf8Path(base / "in" / "gone.bmp"));
    EXPECT_TRUE(test::WriteBytes(Utf8Path(base / "other" / "p1.bmp"), test::MakeBmp24(33, 21, 9)));
    paths.push_back(Utf8Path(base / "other" / "p1.bmp"));
    // An output that exists already.
    std::filesystem::create_directories(base / "out" / "Sub");
    EXPECT_TRUE(test::WriteBytes(Utf8Path(base / "out" / "Sub" / "p3_s.jpg"), std::string("keep me")));

    Settings settings = test::BlankSettings();
    Preset& jpeg = settings.presets[0];  // box, bicubic, sharpened, into an existing subfolder
    jpeg.outputFormat = kOutputJpeg;
    jpeg.jpegQuality = 90;
    jpeg.resizeMode = 5;
    jpeg.targetWidth = 24;
    jpeg.targetHeight = 20;
    jpeg.keepAspect = 1;
    jpeg.resampleFilter = 1;
    jpeg.sharpness = 2;
    jpeg.suffix.Assign(u"_s");
    jpeg.subfolder.Assign(u"Sub");
    jpeg.outputFolder = Utf8Path(base / "out");
    Preset& missing = settings.presets[1];  // an output folder that does not exist: message, no pass
    missing.outputFolder = Utf8Path(base / "nowhere");
    Preset& again = settings.presets[2];  // area average under the first preset's names
    again.outputFormat = kOutputJpeg;
    again.jpegQuality = 60;
    again.resizeMode = 1;
    again.targetWidth = 20;
    again.resampleFilter = 0;
    again.suffix.Assign(u"_s");
    again.subfolder.Assign(u"Sub");
    again.outputFolder = Utf8Path(base / "out");
    Preset& webp = settings.presets[3];  // WebP within a size limit: the quality search
    webp.outputFormat = kOutputWebp;
    webp.jpegQuality = 80;
    webp.limitFileSize = 1;
    webp.maxFileSizeKiB = 1;
    webp.subfolder.Assign(u"Web");  // made by the pass
    webp.outputFolder = Utf8Path(base / "out");
    const uint8_t selection[4] = {1, 1, 1, 1};

    Outcome outcome;
    test::RecordingHost host;
    host.stopAfter = stopAfter;
    SetConversionThreads(threads);
    // p5 (75 x 55) is refused from its size.
    const uint64_t maxPixels = 4000;
    outcome.written = RunConversion(host, uint32_t(paths.size()), paths.data(), selection, settings,
                                    BuiltInCodecSteps(), maxPixels);
    {
        ConversionContext context;
        EXPECT_TRUE(context.Initialise());
        context.settings = &settings;
        context.preset = &jpeg;
        context.tempPath = &paths[0];  // not written: the workers have their own
        context.outputStep = OutputStepFor(jpeg.outputFormat);
        PassFiles files(context, 3, paths.data(), BuiltInCodecSteps());
        outcome.workers = files.Workers();
        for (uint32_t i = 0; i < 3; ++i) {
            FileOutcome result;
            files.Next(i, result);
            files.Done(i);
        }
    }
    SetConversionThreads(0);
    outcome.events = host.events;
    outcome.done = host.files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(base / "out"))
        if (entry.is_regular_file())
            outcome.files[std::filesystem::relative(entry.path(), base).generic_string()] =
                test::ReadBytes(Utf8Path(entry.path()));
    // Nothing is left in the temporary folder.
    EXPECT_TRUE(std::filesystem::is_empty(base / "tmp"));
    return outcome;
}

void ExpectSame(const Outcome& one, const Outcome& four) {
    EXPECT_EQ(one.workers, 1u);
    EXPECT_EQ(four.workers, 3u);
    EXPECT_EQ(four.written, one.written);
    EXPECT_EQ(four.events, one.events);
    EXPECT_EQ(four.done, one.done);
    ASSERT_EQ(four.files.size(), one.files.size());
    EXPECT_TRUE(four.files == one.files);
}

TEST(PassFiles, FourThreadsWriteWhatOneThreadWrites) {
    const Outcome one = RunWithThreads(1, SIZE_MAX);
    ExpectSame(one, RunWithThreads(4, SIZE_MAX));
    EXPECT_EQ(one.written, 18u);  // 6 pictures, three times
    const std::string tooLarge = "too large 75x55";
    EXPECT_EQ(one.events, (std::vector<std::string>{"busy", tooLarge, "error 30003", tooLarge, tooLarge, "restore"}));
    EXPECT_EQ(one.files.at("out/Sub/p3_s.jpg"), "keep me");
    // The third preset takes the next free names after the first one's.
    for (const char* name : {"p3_s+1", "p1_s+1", "p0_s+1", "p1_s+2", "p3_s+2", "p1_s+3", "p4_s+1"})
        EXPECT_EQ(one.files.count("out/Sub/" + std::string(name) + ".jpg"), 1u) << name;
    EXPECT_EQ(one.files.count("out/Sub/p1_s+4.jpg"), 0u);
    EXPECT_EQ(one.files.count("out/Web/p4.webp"), 1u);
}

// Stopped during the second pass, with files of the next pass converted
// ahead: the same files written and the same report.
TEST(PassFiles, FourThreadsStopWhereOneThreadStops) {
    const Outcome one = RunWithThreads(1, 12);
    ExpectSame(one, RunWithThreads(4, 12));
    EXPECT_EQ(one.written, 8u);
    EXPECT_EQ(one.events.at(one.events.size() - 2), "stopped 8");
}

// At most one file per thread, never more than there are files, and the
// pictures in flight within a quarter of the memory.
TEST(PassFiles, WorkersLimitedByThreadsFilesAndMemory) {
    const uint64_t GiB = uint64_t(1) << 30;
    EXPECT_EQ(PassWorkers(40, 4, 16 * GiB), 4u);
    EXPECT_EQ(PassWorkers(2, 16, 16 * GiB), 2u);
    EXPECT_EQ(PassWorkers(40, 16, 1 * GiB), 1u);
    EXPECT_EQ(PassWorkers(40, 16, 2 * GiB), 3u);
    EXPECT_EQ(PassWorkers(40, 1, 16 * GiB), 1u);
}

}  // namespace
}  // namespace qdx
