// Attach/detach cycles give back every GDI object the engine made.
#include <vector>

#include "platform/controls.h"
#include "skin/gdi_objects.h"
#include "tests/skin/skin_fixture.h"
#include "tests/support/testing.h"

namespace skin_test {
namespace {

using ResourcesTest = SkinTest;

struct Handles {
    std::vector<HGDIOBJ> objects;
};

// One form like the dialer's: buttons (one inside a frame), entry fields,
// check boxes; skinned, exercised, destroyed. Returns the engine's handles.
Handles Cycle(bool exercise) {
    Handles h;
    TestForm form(360, 260, true);
    HWND frame = plat::CreateFrame(form.hwnd(), {150, 1500, 4000, 1200}, 30);
    HWND buttons[] = {AddButton(form.hwnd(), L"拨号", 10, 10, 65, 25, 1),
                      AddButton(form.hwnd(), L"断开", 80, 10, 65, 25, 2, BS_DEFPUSHBUTTON),
                      AddButton(form.hwnd(), L"&About", 150, 10, 65, 25, 3, BS_PUSHBUTTON, WS_DISABLED),
                      AddButton(frame, L"Update", 5, 5, 70, 22, 4)};
    AddChild(form.hwnd(), L"Edit", L"x", 0, WS_EX_CLIENTEDGE, 10, 50, 120, 22, 5);
    AddButton(form.hwnd(), L"auto", 10, 80, 100, 20, 6, BS_AUTOCHECKBOX);
    skin::SkinWindow(form.hwnd());
    h.objects.push_back(skin::SkinTemplateDC());
    h.objects.push_back(GetCurrentObject(skin::SkinTemplateDC(), OBJ_BITMAP));
    for (HWND b : buttons) {
        for (const wchar_t* name : {L"HDC0", L"HDC1", L"HDC2", L"HDC3", L"BMP0", L"BMP1", L"BMP2", L"BMP3"})
            h.objects.push_back(GetPropW(b, name));
        if (!exercise) continue;
        SendMessageW(b, WM_MOUSEMOVE, 0, MAKELPARAM(5, 5));
        SendMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        SendMessageW(b, WM_TIMER, 1, 0);
        SendMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
        SetFocus(b);
        SetWindowPos(b, nullptr, 0, 0, 70, 26, SWP_NOMOVE | SWP_NOZORDER);
        InvalidateRect(b, nullptr, FALSE);
        UpdateWindow(b);
    }
    if (exercise) testing_support::PumpMessages(30);
    return h;
}

TEST_F(ResourcesTest, ManyCyclesLeaveNoGdiObjects) {
    const DWORD guiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    Handles last;
    for (int i = 0; i < 150; ++i) {
        last = Cycle(i % 3 == 0);
        ASSERT_EQ(0, skin::gdi::Live()) << "cycle " << i;
        ASSERT_FALSE(skin::EngineReady()) << "cycle " << i;
        ASSERT_EQ(0, skin::SkinnedButtonCount());
        ASSERT_EQ(0, skin::HookedFormCount());
    }
    // The handles of the last cycle are gone for the system too.
    for (HGDIOBJ object : last.objects) EXPECT_EQ(0u, GetObjectType(object));
    const auto counts = skin::gdi::Snapshot();
    EXPECT_GT(counts.created, 150 * 34);
    EXPECT_EQ(counts.created, counts.freed + counts.handedOver);
    // Under Wine this answers 0; on Windows it counts for real.
    const DWORD guiAfter = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (guiBefore != 0) {
        EXPECT_LE(guiAfter, guiBefore + 2);
    }
}

TEST_F(ResourcesTest, FlatBorderDrawingFreesItsBrushes) {
    TestForm form;
    HWND edit = AddChild(form.hwnd(), L"Edit", L"", 0, WS_EX_CLIENTEDGE, 10, 10, 120, 22, 1);
    skin::SkinWindow(form.hwnd());
    const long live = skin::gdi::Live();
    for (int i = 0; i < 200; ++i) SendMessageW(edit, WM_NCPAINT, 1, 0);
    EXPECT_EQ(live, skin::gdi::Live());
}

}  // namespace
}  // namespace skin_test
