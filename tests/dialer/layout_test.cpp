// The main window as the user sees it, at the display's DPI and after changes of DPI.
#include <windows.h>
#include <imm.h>

#include "dialer/artwork.h"
#include "dialer/tray.h"
#include "platform/picture_box.h"
#include "tests/dialer/look_support.h"

using namespace look_testing;

namespace {

HFONT FontOf(HWND control) { return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)); }

void ExpectLaidOutAt(MainWindow* form, int dpi) {
    auto C = [form](int id) { return form->Control(id); };
    HWND me = form->hwnd(), f = C(IDC_FIELDS_FRAME);
    ExpectPlaces({
        {C(IDC_BANNER), me, plat::kPictureBoxClassName, {8, 8, 305, 97}},
        {f, me, plat::kFrameClassName, {32, 112, 249, 81}},
        {C(IDC_AUTOSTART), me, L"Button", {48, 200, 97, 17}},
        {C(IDC_SEPARATOR), me, L"Static", {16, 232, 288, 1}},
        {C(IDC_ABOUT), me, L"Button", {232, 240, 65, 25}},
        {C(IDC_CONNECTION_LABEL), f, L"Static", {8, 10, 81, 17}},
        {C(IDC_PASSWORD), f, L"Edit", {72, 55, 169, 21}},
    }, dpi);
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(FontOf(C(IDC_PASSWORD_LABEL)), sizeof(lf), &lf));
    EXPECT_TRUE(!wcscmp(lf.lfFaceName, L"宋体") && lf.lfCharSet == 134) << "the labels' face";
    EXPECT_EQ(lf.lfHeight, At(-14, dpi)) << "10.5 pt at " << dpi << " DPI";
    for (int id : {IDC_CONNECTION_NAME, IDC_AUTOSTART, IDC_UPDATE}) {
        ASSERT_TRUE(GetObjectW(FontOf(C(id)), sizeof(lf), &lf));
        EXPECT_EQ(lf.lfHeight, At(-12, dpi)) << "9 pt, control " << id << " at " << dpi << " DPI";
    }
    ExpectIconsAt(me, dpi);
    EXPECT_EQ(IconWidth(TrayData().hIcon), plat::SystemMetricAt(SM_CXSMICON, dpi)) << "the tray icon";
    Snapshot banner(C(IDC_BANNER));  // before the picture is selected into a DC of ours
    // At 96 DPI the picture itself; above, the large rendering brought down, never the small one enlarged.
    plat::UniqueBitmap resampled = plat::ResamplePicture(LoadLargeBanner().get(), At(308, dpi), At(99, dpi));
    plat::UniqueMemDC mem(CreateCompatibleDC(nullptr));
    plat::SelectObjectScope keep(mem.get(), dpi == 96 ? plat::PictureOf(C(IDC_BANNER)) : resampled.get());
    int differ = 0;  // every pixel, so that a picture ending short of the box's inner edges shows
    for (int y = 0; y < banner.r.bottom; ++y)
        for (int x = 0; x < banner.r.right; ++x) differ += banner.At(x, y) != GetPixel(mem.get(), x, y);
    EXPECT_EQ(differ, 0) << "the banner's pixels in a box of " << banner.r.right << " x " << banner.r.bottom;
}

}  // namespace

TEST_F(Look, MainWindowAtTheDisplaysDpiResizedAfterChangesOfDpiAndItsBannerResampling) {
    ExpectRect(RectOf(hwnd_, true), {278, 67, 324, 272});
    ExpectLaidOutAt(form_, Dpi());
    EXPECT_FALSE(IsWindowVisible(C(IDC_AUTOSTART_FLAG)) || IsWindowVisible(C(IDC_REDIAL_FLAG))) << "the two flags";
    const std::vector<int> cycle = {IDC_DIAL, IDC_BANNER, IDC_DISCONNECT, IDC_ABOUT, IDC_PASSWORD,
                                    IDC_ACCOUNT, IDC_CONNECTION_NAME, IDC_UPDATE, IDC_AUTOSTART, IDC_AUTO_REDIAL};
    ASSERT_EQ(GetFocus(), C(cycle[0])) << "the first focus";
    for (size_t i = 1; i <= 2 * cycle.size(); ++i) {
        MSG down{GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001, GetTickCount(), {}};  // as the message loop hands it over
        if (!IsDialogMessageW(hwnd_, &down)) DispatchMessageW(&down);
        EXPECT_EQ(GetFocus(), C(cycle[i % cycle.size()])) << "after Tab press " << i;
    }
    // A colour no scheme uses shows which index the name field is painted with.
    const int index = COLOR_SCROLLBAR;
    const COLORREF old = GetSysColor(index), mark = RGB(10, 200, 30);
    SetSysColors(1, &index, &mark);
    PumpMessages(50);
    const COLORREF text1 = Snapshot(C(IDC_CONNECTION_NAME)).At(150, 10), text2 = Snapshot(C(IDC_ACCOUNT)).At(150, 10);
    SetSysColors(1, &index, &old);
    EXPECT_EQ(text1, mark);
    EXPECT_EQ(text2, GetSysColor(COLOR_WINDOW)) << "the other fields on the window colour";
    HWND tip = form_->ToolTip();
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 4);
    for (int id : {IDC_CONNECTION_NAME, IDC_ACCOUNT, IDC_PASSWORD, IDC_AUTOSTART}) {
        TTTOOLINFOW ti{TTTOOLINFOW_V2_SIZE, TTF_IDISHWND, hwnd_, reinterpret_cast<UINT_PTR>(C(id)), {}, {}, {}, 0, {}};
        EXPECT_TRUE(SendMessageW(tip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&ti))) << "a tooltip on " << id;
    }
    EXPECT_EQ(SendMessageW(C(IDC_PASSWORD), EM_GETPASSWORDCHAR, 0, 0), L'*');
    EXPECT_EQ(ImmGetContext(C(IDC_PASSWORD)), nullptr) << "no input method on the password";
    SetWindowPos(hwnd_, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages(50);
    ExpectLaidOutAt(form_, Dpi());

    const int start = Dpi(), other = start == 144 ? 96 : 144;
    for (int dpi : {other, start}) {
        const HFONT labelFont = FontOf(C(IDC_CONNECTION_LABEL)), controlFont = FontOf(C(IDC_CONNECTION_NAME));
        ChangeDpi(hwnd_, 324, 272, dpi);
        ExpectLaidOutAt(form_, dpi);
        for (HFONT gone : {labelFont, controlFont})
            EXPECT_NE(GetObjectType(gone), static_cast<DWORD>(OBJ_FONT)) << "the old fonts are freed";
    }
    // Hidden in the tray, the window comes back at the size of the new DPI.
    ShowWindow(hwnd_, SW_MINIMIZE);
    RECT minimised{0, 0, 160, 30};
    SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&minimised));
    EXPECT_FALSE(IsWindowVisible(hwnd_)) << "still in the tray";
    SendMessageW(hwnd_, WM_COMMAND, IDM_SHOW, 0);
    PumpMessages(50);
    const RECT outer = plat::OuterRectForClientAt(0, 0, At(324, other), At(272, other),
                                                  GetWindowLongW(hwnd_, GWL_STYLE), 0, other);
    const Rect shown = RectOf(hwnd_);
    EXPECT_NEAR(shown[2], outer.right - outer.left, 1);
    EXPECT_NEAR(shown[3], outer.bottom - outer.top, 1);
    ExpectLaidOutAt(form_, other);

    // Black, white, black to two pixels: each covers one and a half, two thirds of it black.
    const DWORD pixels[3] = {0x000000, 0xFFFFFF, 0x000000};
    plat::UniqueBitmap source(CreateBitmap(3, 1, 1, 32, pixels));
    plat::UniqueBitmap out = plat::ResamplePicture(source.get(), 2, 1);
    plat::UniqueMemDC mem(CreateCompatibleDC(nullptr));
    plat::SelectObjectScope keep(mem.get(), out.get());
    EXPECT_EQ(GetPixel(mem.get(), 0, 0), RGB(85, 85, 85));
    EXPECT_EQ(GetPixel(mem.get(), 1, 0), RGB(85, 85, 85));
}
