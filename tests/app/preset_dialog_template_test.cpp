// Template 2000 as each language library carries it: every control the
// program drives is there with its role, and the texts the template shows
// are the library's own strings for those identifiers.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

namespace qdx {
namespace {

std::wstring BinFile(const wchar_t* name) {
    std::wstring path;
    for (const char* p = QDX_BIN_DIR; *p; ++p) path += wchar_t(*p == '/' ? '\\' : *p);
    return path + L"\\" + name;
}

struct TemplateItem {
    DWORD style = 0;
    std::u16string className;  // "#133" style for ordinals
    std::u16string text;
    int order = 0;
};

struct ParsedTemplate {
    DWORD style = 0;
    std::u16string face;
    std::map<int, TemplateItem> items;
    int count = 0;
    bool duplicate = false;
};

// Reads an extended template: header, menu, class, title, font, then the
// items, each aligned to 4 bytes.
class TemplateReader {
public:
    TemplateReader(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(size) {}

    bool Read(ParsedTemplate& out) {
        if (Word() != 1 || Word() != 0xFFFF) return false;
        Dword();  // help id
        Dword();  // extended style
        out.style = Dword();
        const int count = Word();
        Skip(8);
        Field();  // menu
        Field();  // class
        Field();  // title
        if (out.style & DS_SETFONT) {
            Skip(6);  // size, weight, italic, charset
            out.face = Field();
        }
        for (int i = 0; i < count && ok_; ++i) {
            Align();
            Dword();  // help id
            Dword();  // extended style
            TemplateItem item;
            item.style = Dword();
            Skip(8);
            const int id = int(int32_t(Dword()));
            item.className = Field(true);
            item.text = Field();
            Skip(Word());
            item.order = i;
            out.duplicate |= out.items.count(id) != 0;
            out.items[id] = item;
        }
        out.count = count;
        return ok_;
    }

private:
    uint16_t Word() {
        if (at_ + 2 > size_) {
            ok_ = false;
            return 0;
        }
        const uint16_t value = uint16_t(bytes_[at_] | (bytes_[at_ + 1] << 8));
        at_ += 2;
        return value;
    }
    DWORD Dword() { return DWORD(Word()) | (DWORD(Word()) << 16); }
    void Skip(size_t n) { at_ = at_ + n <= size_ ? at_ + n : (ok_ = false, size_); }
    void Align() { at_ = (at_ + 3) & ~size_t(3); }
    // An ordinal (0xFFFF, value) reads as "#value"; otherwise a NUL-ended text.
    std::u16string Field(bool folded = false) {
        std::u16string text;
        const uint16_t first = Word();
        if (first == 0xFFFF) {
            text.push_back(u'#');
            text.push_back(char16_t(Word()));
            return text;
        }
        // Class names compare without case (the resource compiler writes
        // them in capitals).
        for (uint16_t c = first; c != 0 && ok_; c = Word())
            text.push_back(char16_t(folded && c >= 'A' && c <= 'Z' ? c + 32 : c));
        return text;
    }

    const uint8_t* bytes_;
    size_t size_;
    size_t at_ = 0;
    bool ok_ = true;
};

const std::u16string kCombo = {u'#', 0x0085};
const std::u16string kEdit = {u'#', 0x0081};

TEST(PresetDialogTemplate, EachLanguageHasEveryControlWithItsRoleAndText) {
    const int lists[] = {2111, 2135, 2211, 2251, 2261};
    const std::pair<int, int> spins[] = {{2132, 2133}, {2137, 2138}, {2221, 2222}, {2231, 2232}};
    const int edits[] = {2311, 2321, 2331};
    const int checkBoxes[] = {2001, 2121, 2136};
    const int others[] = {2110, 2120, 2130, 2200, 2300, 2220, 2223, 2230, 2233, 2240, 2241,
                          2250, 2260, 2322, 2323, IDOK, IDCANCEL};
    for (const wchar_t* name : {L"English.dll", L"Japanese.dll"}) {
        SCOPED_TRACE(std::string(name, name + wcslen(name)));
        HMODULE library = ::LoadLibraryExW(BinFile(name).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(library, nullptr);
        HRSRC resource = ::FindResourceW(library, MAKEINTRESOURCEW(2000), MAKEINTRESOURCEW(5));
        ASSERT_NE(resource, nullptr);
        const auto* bytes = static_cast<const uint8_t*>(::LockResource(::LoadResource(library, resource)));
        ParsedTemplate parsed;
        ASSERT_TRUE(TemplateReader(bytes, ::SizeofResource(library, resource)).Read(parsed));
        EXPECT_FALSE(parsed.duplicate);
        EXPECT_TRUE(parsed.style & DS_SETFONT);
        EXPECT_EQ(parsed.face, u"MS Shell Dlg");

        auto item = [&](int id) -> const TemplateItem* {
            auto found = parsed.items.find(id);
            EXPECT_NE(found, parsed.items.end()) << "control " << id;
            return found == parsed.items.end() ? nullptr : &found->second;
        };
        for (int id : lists) {
            const TemplateItem* list = item(id);
            if (!list) continue;
            EXPECT_EQ(list->className, kCombo) << id;
            EXPECT_EQ(list->style & 0x3, DWORD(CBS_DROPDOWNLIST)) << id;
            EXPECT_TRUE(list->style & CBS_OWNERDRAWFIXED) << id;
            EXPECT_FALSE(list->style & CBS_HASSTRINGS) << id << ": items are string identifiers";
        }
        for (auto [editId, spinId] : spins) {
            const TemplateItem* edit = item(editId);
            const TemplateItem* spin = item(spinId);
            if (!edit || !spin) continue;
            EXPECT_EQ(edit->className, kEdit) << editId;
            EXPECT_TRUE(edit->style & ES_NUMBER) << editId;
            EXPECT_EQ(spin->className, u"msctls_updown32") << spinId;
            EXPECT_TRUE(spin->style & UDS_AUTOBUDDY) << spinId;
            EXPECT_EQ(spin->order, edit->order + 1) << spinId << " follows its edit";
        }
        for (int id : edits) {
            const TemplateItem* edit = item(id);
            if (edit) {
                EXPECT_EQ(edit->className, kEdit) << id;
            }
        }
        for (int id : checkBoxes) {
            const TemplateItem* box = item(id);
            if (box) {
                EXPECT_EQ(box->style & 0xF, DWORD(BS_AUTOCHECKBOX)) << id;
            }
        }
        for (int id : others) item(id);
        EXPECT_EQ(parsed.count, int(std::size(lists) + 2 * std::size(spins) + std::size(edits) +
                                    std::size(checkBoxes) + std::size(others) + 5))
            << "the five labels of quality, sampling, suffix, folder and subfolder besides";

        // A control whose identifier names a string shows that string.
        HMODULE loaded = ::LoadLibraryExW(BinFile(name).c_str(), nullptr, 0);
        ASSERT_NE(loaded, nullptr);
        for (const auto& [id, control] : parsed.items) {
            if (control.className == kEdit) continue;  // 2321 is the hint
            wchar_t text[128] = {};
            if (::LoadStringW(loaded, UINT(id), text, 128) <= 0) continue;
            EXPECT_EQ(control.text, std::u16string(reinterpret_cast<const char16_t*>(text))) << id;
        }
        ::FreeLibrary(loaded);
        ::FreeLibrary(library);
    }
}

}  // namespace
}  // namespace qdx
