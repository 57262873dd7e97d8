#include <gtest/gtest.h>

#include <variant>

#include "core/settings_fields.h"
#include "core/settings_file.h"
#include "tests/support/customised_settings.h"
#include "tests/support/temp_folder.h"

namespace qdx {
namespace {

using test::CustomisedSettings;

template <typename Value>
void CopyValue(Value& to, const Value& from) {
    to = from;
}
template <typename Element, size_t Count>
void CopyValue(Element (&to)[Count], const Element (&from)[Count]) {
    for (size_t i = 0; i < Count; ++i) to[i] = from[i];
}

// Each field taken alone from the customised record makes a record unequal
// to the defaults: equality sees every field, and the round trip below
// covers every field away from its default.
TEST(SettingsTable, CustomisedDiffersFromTheDefaultsInEveryField) {
    const Settings customised = CustomisedSettings();
    for (const GlobalField& field : kGlobalFields) {
        Settings one;
        std::visit([&](auto member) { CopyValue(one.*member, customised.*member); }, field.member);
        EXPECT_FALSE(one == Settings()) << field.name;
    }
    for (const PresetField& field : kPresetFields)
        for (int i = 0; i < kPresetCount; ++i) {
            Settings one;
            std::visit([&](auto member) { CopyValue(one.presets[i].*member, customised.presets[i].*member); },
                       field.member);
            EXPECT_FALSE(one == Settings()) << field.name << " of preset " << i;
        }
}

// FNV-1a, 64 bits.
uint64_t Fingerprint(const std::string& bytes) {
    uint64_t hash = 0xCBF29CE484222325u;
    for (const char c : bytes) hash = (hash ^ uint8_t(c)) * 0x100000001B3u;
    return hash;
}

TEST(SettingsTable, DefaultAndCustomisedFilesRoundTripWithPinnedBytes) {
    Settings defaultsAsRead;
    os::MenuFontFace(defaultsAsRead.fontFace);  // an empty face is filled in when loading
    Settings customisedAsRead = CustomisedSettings();
    customisedAsRead.excludedPlugins.clear();
    const struct {
        const char* name;
        Settings saved;
        Settings read;
        size_t size;
        uint64_t fingerprint;
    } kCases[] = {
        {"defaults", Settings(), defaultsAsRead, 848, 0x54C7CD6B64AE36A8u},
        {"customised", CustomisedSettings(), customisedAsRead, 1042, 0x74CE442E5E8088C7u},
    };
    test::TempFolder folder;
    const WideString path = folder.File(u"Quillodex.ini");
    for (const auto& c : kCases) {
        SCOPED_TRACE(c.name);
        os::RemoveFile(path.Text());
        ASSERT_TRUE(SaveSettings(path.Text(), c.saved));
        const std::string bytes = test::ReadBytes(path);
        EXPECT_EQ(bytes.size(), c.size);
        EXPECT_EQ(Fingerprint(bytes), c.fingerprint) << std::hex << Fingerprint(bytes);
        Settings read;
        LoadSettings(path.Text(), read);
        EXPECT_TRUE(read == c.read);
    }
}

}  // namespace
}  // namespace qdx
