#include "core/settings.h"

#include <cstring>
#include <variant>

#include "core/settings_fields.h"

namespace qdx {

namespace {

using Defaults = int64_t[kPresetCount];

template <typename Integer>
void AssignDefault(Integer& value, const Defaults& defaults, const char16_t*, int position) {
    value = Integer(defaults[position]);
}
void AssignDefault(WideString& value, const Defaults&, const char16_t* text, int) { value.Assign(text); }
void AssignDefault(std::vector<WideString>& value, const Defaults&, const char16_t*, int) { value.clear(); }
void AssignDefault(uint32_t (&colours)[16], const Defaults& defaults, const char16_t*, int) {
    for (uint32_t& colour : colours) colour = uint32_t(defaults[0]);
}
void AssignDefault(uint8_t (&flags)[kPresetCount], const Defaults& defaults, const char16_t*, int) {
    for (int i = 0; i < kPresetCount; ++i) flags[i] = uint8_t(defaults[i]);
}

template <typename Integer>
bool SameValue(const Integer& a, const Integer& b) {
    return a == b;
}
bool SameValue(const WideString& a, const WideString& b) { return SameText(a, b); }
bool SameValue(const std::vector<WideString>& a, const std::vector<WideString>& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!SameText(a[i], b[i])) return false;
    return true;
}
template <typename Element, size_t Count>
bool SameValue(const Element (&a)[Count], const Element (&b)[Count]) {
    for (size_t i = 0; i < Count; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

template <typename Record, size_t Count>
bool SameFields(const FieldDescriptor<Record> (&fields)[Count], const Record& a, const Record& b) {
    for (const FieldDescriptor<Record>& field : fields)
        if (!std::visit([&](auto member) { return SameValue(a.*member, b.*member); }, field.member)) return false;
    return true;
}

}  // namespace

Preset DefaultPreset(int index) {
    Preset preset;
    if (index < 0 || index >= kPresetCount) return preset;
    for (const PresetField& field : kPresetFields)
        std::visit(
            [&](auto member) { AssignDefault(preset.*member, field.defaults, field.textDefaults[index], index); },
            field.member);
    return preset;
}

Settings::Settings() : presets{DefaultPreset(0), DefaultPreset(1), DefaultPreset(2), DefaultPreset(3)} {
    for (const GlobalField& field : kGlobalFields)
        std::visit([&](auto member) { AssignDefault(this->*member, field.defaults, field.textDefaults[0], 0); },
                   field.member);
}

void ResetToDefaults(Settings& settings) { settings = Settings(); }

bool SameText(const WideString& a, const WideString& b) {
    return a.Length() == b.Length() &&
           (a.Length() == 0 || std::memcmp(a.Buffer(), b.Buffer(), size_t(a.Length()) * 2) == 0);
}

bool operator==(const Preset& a, const Preset& b) { return SameFields(kPresetFields, a, b); }

bool operator==(const Settings& a, const Settings& b) {
    for (int i = 0; i < kPresetCount; ++i)
        if (!(a.presets[i] == b.presets[i])) return false;
    return SameFields(kGlobalFields, a, b);
}

Settings& CurrentSettings() {
    static Settings settings;
    return settings;
}

}  // namespace qdx
