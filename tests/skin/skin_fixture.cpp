#include "tests/skin/skin_fixture.h"

#include "platform/controls.h"
#include "skin/gdi_objects.h"
#include "tests/support/testing.h"

namespace skin_test {

namespace {

// Independent copy of a few template rows, used to predict rendered pixels.
// Rows are band rows 0..20 for each state; only the columns the tests read.
COLORREF BandPixel(int state, int x, int row) {
    HDC tpl = skin::SkinTemplateDC();
    return tpl ? GetPixel(tpl, x, skin::kBandHeight * state + row) : CLR_INVALID;
}

}  // namespace

TestForm::TestForm(int width, int height, bool visible) {
    CreateForm(L"skin test", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, 0, 60, 60, width, height);
    if (visible && hwnd()) {
        ShowWindow(hwnd(), SW_SHOW);
        UpdateWindow(hwnd());
    }
}

LRESULT TestForm::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_COMMAND) {
        commands.push_back({LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)});
        if (destroyOnClick && LOWORD(wParam) == destroyOnClick && HIWORD(wParam) == BN_CLICKED) {
            DestroyWindow(hwnd());
            return 0;
        }
    }
    return Default(msg, wParam, lParam);
}

HWND AddChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int x, int y,
              int w, int h, int id) {
    HWND hwnd = CreateWindowExW(exStyle, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (hwnd) SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(plat::DefaultFont()), FALSE);
    return hwnd;
}

HWND AddButton(HWND parent, const wchar_t* caption, int x, int y, int w, int h, int id, DWORD type,
               DWORD extraStyle) {
    return AddChild(parent, L"Button", caption, WS_TABSTOP | type | extraStyle, 0, x, y, w, h, id);
}

INT_PTR Prop(HWND hwnd, const wchar_t* name) { return reinterpret_cast<INT_PTR>(GetPropW(hwnd, name)); }
bool HasProp(HWND hwnd, const wchar_t* name) { return GetPropW(hwnd, name) != nullptr; }

HDC StateDC(HWND button, int state) {
    static const wchar_t* const names[4] = {L"HDC0", L"HDC1", L"HDC2", L"HDC3"};
    return reinterpret_cast<HDC>(GetPropW(button, names[state]));
}

COLORREF StatePixel(HWND button, int state, int x, int y) { return GetPixel(StateDC(button, state), x, y); }

WNDPROC CurrentProc(HWND hwnd) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd, GWLP_WNDPROC)); }

COLORREF TemplateColour(int state, int x, int bandRow) { return BandPixel(state, x, bandRow); }

bool Activate(HWND form) {
    SetForegroundWindow(form);
    SetActiveWindow(form);
    return testing_support::PumpUntil([&] { return GetActiveWindow() == form; }, 3000);
}

void SkinTest::SetUp() {
    plat::SetQuitWhenLastFormCloses(false);
    ASSERT_FALSE(skin::EngineReady());
    ASSERT_EQ(0, skin::gdi::Live());
}

void SkinTest::TearDown() {
    testing_support::PumpMessages(20);
    if (skin::EngineReady() && skin::SkinnedButtonCount() == 0 && skin::HookedFormCount() == 0) {
        // Initialised without attaching anything: a form's detach releases it.
        TestForm form(100, 80, false);
        skin::SkinWindow(form.hwnd());
    }
    EXPECT_EQ(0, skin::SkinnedButtonCount());
    EXPECT_EQ(0, skin::HookedFormCount());
    EXPECT_FALSE(skin::EngineReady());
    EXPECT_EQ(0, skin::gdi::Live());
}

}  // namespace skin_test
