// The main window at the display's resolution (the test prefix's: the build
// runs these tests at 96, 144 and 192 DPI): its size and every child scaled
// from 96 DPI, no text clipped, and a change of resolution laying it out
// again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/common/control_ids.h"
#include "app/common/display_scale.h"
#include "app/common/win32_owners.h"
#include "app/main_window/main_window.h"
#include "tests/app/gui_support.h"

namespace qdx::app {
namespace {

constexpr int kStoredWidth = 440;  // the client size in the settings (96 DPI)
constexpr int kStoredHeight = 325;

// The text `control` shows, in its own font.
SIZE TextExtent(HWND control) {
    wchar_t text[256] = {};
    const int length = ::GetWindowTextW(control, text, 256);
    const WindowDC dc(control);
    const SelectedObject font(dc.Get(), reinterpret_cast<HFONT>(::SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE size{};
    ::GetTextExtentPoint32W(dc.Get(), text, length, &size);
    return size;
}

class DisplayScaleTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(app_.Ready());
        Settings& settings = app_.SettingsInUse();
        settings.fontHeight = -12;
        settings.clientWidth = kStoredWidth;
        settings.clientHeight = kStoredHeight;
        window_ = CreateMainWindow(app_.State());
        ASSERT_NE(window_, nullptr);
        ::ShowWindow(window_, SW_SHOWNORMAL);
        test::PumpMessages(100);
    }
    void TearDown() override {
        if (window_ && ::IsWindow(window_)) ::DestroyWindow(window_);
        test::PumpMessages(20);
    }

    // Every child of the main window and of its combined area, with a name.
    std::vector<std::pair<std::string, HWND>> Children() const {
        std::vector<std::pair<std::string, HWND>> children;
        for (int i = 0; i < 4; ++i) {
            children.emplace_back("target " + std::to_string(i), ::GetDlgItem(window_, IDC_MAIN_FIRST_DROP_TARGET + i));
            children.emplace_back("button " + std::to_string(i), ::GetDlgItem(window_, IDC_MAIN_OPTIONS + i));
            children.emplace_back("check " + std::to_string(i),
                                  ::GetDlgItem(Combined(), IDC_MAIN_FIRST_COMBINED_CHECK + i));
        }
        children.emplace_back("combined area", Combined());
        children.emplace_back("keep on top", ::GetDlgItem(window_, IDC_MAIN_KEEP_ON_TOP));
        return children;
    }
    HWND Combined() const { return ::GetDlgItem(window_, IDC_MAIN_COMBINED_AREA); }

    test::GuiApp app_{u"English"};
    HWND window_ = nullptr;
};

TEST_F(DisplayScaleTest, EveryChildScalesFromItsPlaceAt96Dpi) {
    MainWindowState& state = app_.State();
    const int dpi = SystemDpi();
    ASSERT_EQ(state.dpi, dpi);
    RECT client{};
    ::GetClientRect(window_, &client);
    EXPECT_EQ(client.right, ScaleForDpi(kStoredWidth, dpi));
    EXPECT_EQ(client.bottom, ScaleForDpi(kStoredHeight, dpi));
    // The same font and texts measured at 96 DPI give the places at 96 DPI.
    state.dpi = kBaseDpi;
    ASSERT_TRUE(RecreateMainFont(state, window_));
    const LayoutMeasures measures96 = MeasureLayout(state, window_);
    state.dpi = dpi;
    ApplyMainFont(state);
    const MainLayout at96 = LayOutMainWindow(measures96, kStoredWidth, kStoredHeight);
    const CombinedLayout checks96 = LayOutCombinedArea(measures96, at96.combinedArea.width);
    const Box expected[] = {at96.targets[0], at96.buttons[0], checks96.checks[0], at96.targets[1], at96.buttons[1],
                            checks96.checks[1], at96.targets[2], at96.buttons[2], checks96.checks[2],
                            at96.targets[3], at96.buttons[3], checks96.checks[3], at96.combinedArea, at96.keepOnTop};
    const auto children = Children();
    ASSERT_EQ(children.size(), std::size(expected));
    for (size_t i = 0; i < children.size(); ++i) {
        const Box actual = test::ChildBox(children[i].second);
        Box wanted = expected[i];
        // The bottom row and the checks are as wide as their measured texts,
        // and a larger font does not draw a text at exactly the scaled width
        // (up to 4 pixels more or less at 192 DPI): only their rows are
        // compared here, and NoTextIsClipped covers their widths.
        if (!children[i].first.starts_with("target") && children[i].first != "combined area") {
            wanted.x = UnscaleForDpi(actual.x, dpi);
            wanted.width = UnscaleForDpi(actual.x + actual.width, dpi) - wanted.x;
        }
        EXPECT_TRUE(test::ScaledFrom96(actual, wanted, dpi)) << children[i].first;
    }
}

TEST_F(DisplayScaleTest, NoTextIsClipped) {
    const int dpi = app_.State().dpi;
    // A check box draws its box and a gap before the text; a push button
    // keeps its edges clear.
    const int checkBoxAllowance = ScaleForDpi(13 + 3, dpi);
    const int buttonEdges = ScaleForDpi(2 * 3, dpi);
    for (const auto& [name, child] : Children()) {
        const std::wstring kind = test::ClassOf(child);
        if (kind != L"Button") continue;
        const bool checkBox = (::GetWindowLongW(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX;
        const SIZE text = TextExtent(child);
        const Box box = test::ChildBox(child);
        EXPECT_LE(text.cx + (checkBox ? checkBoxAllowance : buttonEdges), box.width) << name;
        EXPECT_LE(text.cy, box.height) << name;
    }
}

TEST_F(DisplayScaleTest, ANewResolutionLaysTheWindowOutAgain) {
    MainWindowState& state = app_.State();
    const int before = state.dpi;
    const int textHeight = state.metrics.textHeight;
    // Down a step (a step up would outgrow the test's screen at 192 DPI) and back.
    for (const int dpi : {before * 3 / 4, before}) {
        SCOPED_TRACE(dpi);
        RECT suggested{0, 0, ScaleForDpi(kStoredWidth, dpi), ScaleForDpi(kStoredHeight, dpi)};
        AdjustWindowRectForDpi(suggested, WS_OVERLAPPEDWINDOW, 0, dpi);
        ::OffsetRect(&suggested, 20 - suggested.left, 20 - suggested.top);
        ::SendMessageW(window_, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), LPARAM(&suggested));
        test::PumpMessages(50);
        EXPECT_EQ(state.dpi, dpi);
        RECT window{};
        ::GetWindowRect(window_, &window);
        EXPECT_TRUE(::EqualRect(&window, &suggested));
        EXPECT_NEAR(state.metrics.textHeight, textHeight * dpi / before, 1);
        RECT client{};
        ::GetClientRect(window_, &client);
        const MainLayout layout = LayOutMainWindow(MeasureLayout(state, window_), client.right, client.bottom);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(test::ChildBox(::GetDlgItem(window_, IDC_MAIN_FIRST_DROP_TARGET + i)), layout.targets[i]);
        EXPECT_EQ(test::ChildBox(Combined()), layout.combinedArea);
        EXPECT_EQ(test::ChildBox(::GetDlgItem(window_, IDC_MAIN_KEEP_ON_TOP)), layout.keepOnTop);
    }
}

}  // namespace
}  // namespace qdx::app
