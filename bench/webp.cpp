// WebP writing: the everyday output (an 800 x 600 photo at quality 90, the
// first preset's quality) encoded by our writer and by libwebp's own cwebp
// with the same settings on the same pixels (method 4, one thread), and the
// size-limit search on a 12-megapixel photo with the first preset's 100 KiB.
// The methods cwebp offers around ours show what method 4 costs and saves.
//
// Times are processor time, best of several runs (cwebp: its process,
// reading the picture included).
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "bench/bench_support.h"
#include "codecs/write/webp_writer.h"
#include "core/decoded_image.h"
#include "core/os/os.h"
#include "core/os/wide_string.h"

using namespace qdx;
using namespace qdx::bench;

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint64_t FileBytes(const WideString& path) {
    os::File file;
    uint64_t size = 0;
    if (!os::OpenForReadShared(path.Text(), file) || !os::FileSize(file, size)) return 0;
    return size;
}

bool Write(WebpWriterState& writer, const DecodedImage& photo, uint32_t quality, uint32_t limitKiB,
           const WideString& path) {
    PrepareWebpWriter(writer, photo, 24, quality, false, nullptr);
    return WriteWebpFile(writer, path, photo.palette, photo.pixels.Get(), limitKiB);
}

}  // namespace

int main() {
    WideString tempRoot;
    if (!os::TemporaryFolder(tempRoot)) return 1;
    const WideString folder = PathIn(tempRoot, "qdx-bench-webp");
    os::CreateFolder(folder.Text());
    const WideString ours = PathIn(folder, "ours.webp");
    const std::string ppm = Narrow(folder) + "/photo.ppm";
    const std::string theirs = Narrow(folder) + "/cwebp.webp";
    WebpWriterState writer;

    DecodedImage small;
    MakePhoto(small, 800, 600);
    if (!WritePpm(small, ppm)) return 1;
    const double encode = BestOf(10, [&] {
        if (!Write(writer, small, 90, 0, ours)) std::exit(1);
    });
    const double cwebp = TimeCommand("cwebp -quiet -q 90 -m 4 '" + ppm + "' -o '" + theirs + "'", 10);
    WideString theirsWide;
    AppendUtf8(theirsWide, theirs.c_str());
    const bool same = ReadAll(Narrow(ours)) == ReadAll(theirs);
    std::printf("800 x 600 photo, quality 90, method 4:\n");
    std::printf("  ours                                         %8.1f ms  (%llu bytes)\n", encode * 1000,
                (unsigned long long)FileBytes(ours));
    PrintPeer("cwebp (process, reading the PPM included)", cwebp);
    if (cwebp > 0)
        std::printf("  ours / cwebp                                 %8.2f  (%llu bytes from cwebp, %s)\n",
                    encode / cwebp, (unsigned long long)FileBytes(theirsWide),
                    same ? "the same bytes" : "other bytes");
    for (int method : {2, 6}) {
        const std::string name = "cwebp method " + std::to_string(method);
        const std::string out = Narrow(folder) + "/m" + std::to_string(method) + ".webp";
        PrintPeer(name.c_str(), TimeCommand("cwebp -quiet -q 90 -m " + std::to_string(method) + " '" + ppm +
                                                "' -o '" + out + "'",
                                            5));
        WideString outWide;
        AppendUtf8(outWide, out.c_str());
        std::printf("  %-44s %8llu bytes\n", "", (unsigned long long)FileBytes(outWide));
        std::remove(out.c_str());
    }

    DecodedImage large;
    MakePhoto(large, 4000, 3000);
    uint32_t encodes = 0;
    int32_t quality = 0;
    const double search = BestOf(2, [&] {
        if (!Write(writer, large, 90, 100, ours)) std::exit(1);
        encodes = writer.encodes;
        quality = writer.writtenQuality;
    });
    std::printf("4000 x 3000 photo within 100 KiB, from quality 90:\n");
    std::printf("  search                                       %8.1f ms  (%u encodes, %.1f ms each; quality %d, "
                "%llu bytes)\n",
                search * 1000, encodes, search * 1000 / (encodes ? encodes : 1), quality,
                (unsigned long long)FileBytes(ours));
    os::RemoveFile(ours.Text());
    std::remove(ppm.c_str());
    std::remove(theirs.c_str());
    os::RemoveFolder(folder.Text());
    return 0;
}
