#include "core/settings_fields.h"

namespace qdx {

namespace {

template <typename Record, size_t Count>
const FieldDescriptor<Record>* FindField(const FieldDescriptor<Record> (&fields)[Count], std::string_view name) {
    for (const FieldDescriptor<Record>& field : fields)
        if (SameWord(name, field.name)) return &field;
    return nullptr;
}

}  // namespace

bool SameWord(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
    return true;
}

const PresetField* FindPresetField(std::string_view name) { return FindField(kPresetFields, name); }
const GlobalField* FindGlobalField(std::string_view name) { return FindField(kGlobalFields, name); }

int64_t ClampToField(int64_t typed, int64_t min, int64_t max) { return typed < min ? min : typed > max ? max : typed; }

}  // namespace qdx
