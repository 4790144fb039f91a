// The skin template (built on first use, released with the last window,
// built again the same) and the engine's GDI objects over many cycles.
#include "tests/skin/skin_fixture.h"

namespace skin_test {
namespace {

using TemplateTest = SkinTest;

// A few cells per band: corners, the stretched column, cells where the two
// halves are not mirror images.
const struct {
    int x, y;
    COLORREF colour;
} kSamples[] = {
    {0, 0, 0xE6BA78},  {4, 10, 0xF9EAD7}, {8, 83, 0xD8D8D8}, {3, 0, 0xD58F1B},  {2, 18, 0xECD6BB},
    {6, 18, 0xECD5BB}, {8, 20, 0xE4B670}, {0, 21, 0xE6BA7A}, {4, 22, 0xFBC34C}, {6, 37, 0xF3D094},
    {7, 37, 0xF8BB3E}, {4, 47, 0xEED1AD}, {4, 57, 0xFBF1E0}, {1, 43, 0xE6A122}, {7, 43, 0xE6A123},
    {0, 63, 0xDCDCDC}, {3, 63, 0xBFBFBF}, {4, 73, 0xEEEEEE}, {1, 83, 0xD4D4D4},
};

// Checks the samples; returns every pixel.
std::vector<COLORREF> CheckTemplate() {
    HDC dc = skin::SkinTemplateDC();
    for (const auto& s : kSamples) EXPECT_EQ(s.colour, GetPixel(dc, s.x, s.y)) << s.x << ", " << s.y;
    std::vector<COLORREF> all;
    for (int y = 0; y < skin::kTemplateHeight; ++y)
        for (int x = 0; x < skin::kTemplateWidth; ++x) all.push_back(GetPixel(dc, x, y));
    return all;
}

TEST_F(TemplateTest, BuiltOnFirstUseReleasedWithLastWindowRebuiltTheSame) {
    EXPECT_EQ(nullptr, skin::SkinTemplateDC());
    EXPECT_EQ(0, skin::SkinWindow(nullptr));
    std::vector<COLORREF> first;
    HDC dc = nullptr;
    HGDIOBJ bitmap = nullptr;
    {
        TestForm form;
        AddButton(form.hwnd(), L"OK", 10, 10, 65, 25, 1);
        EXPECT_EQ(1, skin::SkinWindow(form.hwnd()));
        ASSERT_TRUE(skin::EngineReady());
        EXPECT_TRUE(skin::UseUser32Tracking());
        dc = skin::SkinTemplateDC();
        bitmap = GetCurrentObject(dc, OBJ_BITMAP);
        BITMAP info{};
        GetObjectW(bitmap, sizeof(info), &info);
        EXPECT_TRUE(info.bmWidth == 9 && info.bmHeight == 84);
        first = CheckTemplate();
        const long live = skin::gdi::Live();
        skin::BuildSkinTemplate();
        EXPECT_EQ(dc, skin::SkinTemplateDC()) << "built once only";
        EXPECT_EQ(live, skin::gdi::Live());
    }
    EXPECT_FALSE(skin::EngineReady());
    EXPECT_EQ(0u, GetObjectType(dc));
    EXPECT_EQ(0u, GetObjectType(bitmap));

    EXPECT_EQ(0, skin::gdi::Live());
    TestForm again;
    EXPECT_EQ(1, skin::SkinWindow(again.hwnd()));
    EXPECT_EQ(first, CheckTemplate());
}

// A form like the dialer's (buttons, one in a frame, one disabled, an entry
// field, a check box) skinned, exercised when asked, destroyed.
void Cycle(bool exercise) {
    TestForm form;
    HWND frame = plat::CreateFrame(form.hwnd(), {150, 1500, 4000, 1200}, 30);
    const HWND buttons[] = {AddButton(form.hwnd(), L"拨号", 10, 10, 65, 25, 1),
                            AddButton(form.hwnd(), L"断开", 80, 10, 65, 25, 2, BS_DEFPUSHBUTTON),
                            AddButton(form.hwnd(), L"&About", 150, 10, 65, 25, 3, BS_PUSHBUTTON | WS_DISABLED),
                            AddButton(frame, L"Update", 5, 5, 70, 22, 4)};
    HWND edit = AddChild(form.hwnd(), L"Edit", L"x", 0, WS_EX_CLIENTEDGE, 10, 50, 120, 22, 5);
    AddButton(form.hwnd(), L"auto", 10, 80, 100, 20, 6, BS_AUTOCHECKBOX);
    skin::SkinWindow(form.hwnd());
    for (HWND b : buttons) {
        if (!exercise) break;
        for (UINT msg : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_TIMER, WM_LBUTTONUP}) SendMessageW(b, msg, 1, 0);
        SetFocus(b);
        SetWindowPos(b, nullptr, 0, 0, 70, 26, SWP_NOMOVE | SWP_NOZORDER);
        RedrawWindow(b, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        SendMessageW(edit, WM_NCPAINT, 1, 0);
    }
    if (exercise) testing_support::PumpMessages(30);
}

TEST_F(TemplateTest, ManyAttachDetachCyclesLeaveNoGdiObjects) {
    for (int i = 0; i < 150; ++i) {
        Cycle(i % 3 == 0);
        ASSERT_EQ(0, skin::gdi::Live()) << "cycle " << i;
        ASSERT_FALSE(skin::EngineReady()) << "cycle " << i;
    }
    const auto counts = skin::gdi::Snapshot();
    EXPECT_GT(counts.created, 150 * 34);
    EXPECT_EQ(counts.created, counts.freed + counts.handedOver);
}

}  // namespace
}  // namespace skin_test
