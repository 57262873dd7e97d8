// Which item references of a HEIF file are followed: small files made of
// the boxes that matter (item entries and "dimg" references).
#include "codecs/read/heif_derivation.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <utility>

namespace qdx {
namespace {

std::string Big16(uint32_t v) { return {char(v >> 8), char(v)}; }
std::string Big32(uint32_t v) { return Big16(v >> 16) + Big16(v & 0xFFFF); }
std::string MakeBox(const char* type, const std::string& body) { return Big32(uint32_t(8 + body.size())) + type + body; }
std::string MakeFullBox(const char* type, const std::string& body) { return MakeBox(type, std::string(4, '\0') + body); }

using Item = std::pair<uint16_t, const char*>;
using Reference = std::pair<uint16_t, std::initializer_list<uint16_t>>;

std::string MakeFile(std::initializer_list<Item> items, std::initializer_list<Reference> references) {
    std::string entries;
    for (const Item& item : items)
        entries += MakeBox("infe", std::string{2, 0, 0, 0} + Big16(item.first) + Big16(0) + item.second + '\0');
    std::string derived;
    for (const Reference& reference : references) {
        std::string ids;
        for (uint16_t id : reference.second) ids += Big16(id);
        derived += MakeBox("dimg", Big16(reference.first) + Big16(uint32_t(reference.second.size())) + ids);
    }
    const std::string meta =
        MakeFullBox("iinf", Big16(uint32_t(items.size())) + entries) + MakeFullBox("iref", derived);
    return MakeBox("ftyp", std::string("heic") + std::string(4, '\0') + "mif1heic") + MakeFullBox("meta", meta);
}

bool Sound(const std::string& file) {
    return HeifDerivationIsSound(reinterpret_cast<const uint8_t*>(file.data()), file.size());
}

TEST(HeifDerivation, FollowsOnlyWhatEncodersWrite) {
    struct Case {
        const char* name;
        std::string file;
        bool sound;
    };
    const Case cases[] = {
        {"grid of coded tiles", MakeFile({{1, "grid"}, {2, "hvc1"}, {3, "hvc1"}}, {{1, {2, 3, 2}}}), true},
        {"identity over a grid", MakeFile({{1, "iden"}, {2, "grid"}, {3, "av01"}}, {{1, {2}}, {2, {3}}}), true},
        {"no references", MakeFile({{1, "hvc1"}}, {}), true},
        {"grid naming itself", MakeFile({{1, "grid"}, {2, "hvc1"}}, {{1, {2, 1}}}), false},
        {"grid of grids", MakeFile({{1, "grid"}, {2, "grid"}, {3, "hvc1"}}, {{1, {2}}, {2, {3}}}), false},
        {"overlay and grid naming each other", MakeFile({{1, "grid"}, {2, "iovl"}}, {{1, {2}}, {2, {1}}}), false},
        {"identity over an identity", MakeFile({{1, "iden"}, {2, "iden"}, {3, "grid"}}, {{1, {2}}, {2, {3}}}), false},
        {"one number for two items", MakeFile({{1, "grid"}, {2, "hvc1"}, {1, "hvc1"}}, {{1, {2}}}), false},
    };
    for (const Case& c : cases) EXPECT_EQ(Sound(c.file), c.sound) << c.name;

    // A reference list longer than its box is damaged.
    std::string cut = MakeFile({{1, "grid"}, {2, "hvc1"}}, {{1, {2, 2}}});
    cut[cut.size() - 5] = 9;  // the low byte of the "dimg" box's count
    EXPECT_FALSE(Sound(cut));
}

}  // namespace
}  // namespace qdx
