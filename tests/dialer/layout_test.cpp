#include <windows.h>
#include <imm.h>

#include "dialer/artwork.h"
#include "platform/picture_box.h"
#include "tests/dialer/dialer_fixture.h"
#include "tests/dialer/look_support.h"

using namespace look_testing;
using namespace dialer;

namespace {

HFONT FontOf(HWND control) { return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)); }

void ExpectLaidOutAt(MainWindow* form, int dpi) {
    auto C = [form](int id) { return form->Control(id); };
    ExpectPlaces({
        {C(IDC_BANNER), {8, 8, 305, 97}},
        {C(IDC_FIELDS_FRAME), {32, 112, 249, 81}},
        {C(IDC_AUTOSTART), {48, 200, 97, 17}},
        {C(IDC_SEPARATOR), {16, 232, 288, 1}},
        {C(IDC_ABOUT), {232, 240, 65, 25}},
        {C(IDC_CONNECTION_LABEL), {8, 10, 81, 17}},
        {C(IDC_PASSWORD), {72, 55, 169, 21}},
    }, dpi);
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(FontOf(C(IDC_PASSWORD_LABEL)), sizeof(lf), &lf));
    EXPECT_EQ(lf.lfHeight, At(-14, dpi)) << "10.5 pt at " << dpi << " DPI";
    for (int id : {IDC_CONNECTION_NAME, IDC_AUTOSTART, IDC_UPDATE}) {
        ASSERT_TRUE(GetObjectW(FontOf(C(id)), sizeof(lf), &lf));
        EXPECT_EQ(lf.lfHeight, At(-12, dpi)) << "9 pt, control " << id << " at " << dpi << " DPI";
    }
    ICONINFO tray{};
    GetIconInfo(TrayData().hIcon, &tray);
    plat::UniqueBitmap colour(tray.hbmColor), mask(tray.hbmMask);
    BITMAP bm{};
    GetObjectW(mask.get(), sizeof(bm), &bm);
    EXPECT_EQ(bm.bmWidth, plat::SystemMetricAt(SM_CXSMICON, dpi)) << "the tray icon";
    HWND box = C(IDC_BANNER);
    RECT r{};
    GetClientRect(box, &r);
    plat::UniqueBitmap painted(CreateCompatibleBitmap(plat::WindowDC(nullptr).get(), r.right, r.bottom));
    plat::UniqueMemDC shot(CreateCompatibleDC(nullptr));
    plat::SelectObjectScope keepShot(shot.get(), painted.get());  // before the picture is selected into ours
    SendMessageW(box, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(shot.get()), PRF_CLIENT | PRF_ERASEBKGND);
    // At 96 DPI the picture itself; above, the large rendering brought down, never the small one enlarged.
    plat::UniqueBitmap resampled = plat::ResamplePicture(LoadLargeBanner().get(), At(308, dpi), At(99, dpi));
    plat::UniqueMemDC mem(CreateCompatibleDC(nullptr));
    plat::SelectObjectScope keep(mem.get(), dpi == 96 ? plat::PictureOf(box) : resampled.get());
    int differ = 0;  // every pixel, so that a picture ending short of the box's inner edges shows
    for (int y = 0; y < r.bottom; ++y)
        for (int x = 0; x < r.right; ++x) differ += GetPixel(shot.get(), x, y) != GetPixel(mem.get(), x, y);
    EXPECT_EQ(differ, 0) << "the banner's pixels in a box of " << r.right << " x " << r.bottom;
}

}  // namespace

TEST_F(Look, MainWindowAtTheDisplaysDpiResizedAfterChangesOfDpiAndItsBannerResampling) {
    ASSERT_TRUE(Open());
    PumpMessages(100);
    ExpectRect(RectOf(hwnd_, true), {278, 67, 324, 272});
    ExpectLaidOutAt(form_, Dpi());
    EXPECT_EQ(SendMessageW(C(IDC_PASSWORD), EM_GETPASSWORDCHAR, 0, 0), L'*');
    EXPECT_EQ(ImmGetContext(C(IDC_PASSWORD)), nullptr) << "no input method on the password";

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
    Command(IDM_SHOW);
    PumpMessages(50);
    const RECT outer = plat::OuterRectForClientAt(0, 0, At(324, other), At(272, other),
                                                  GetWindowLongW(hwnd_, GWL_STYLE), 0, other);
    const Rect shown = RectOf(hwnd_);
    EXPECT_NEAR(shown[2], outer.right - outer.left, 1);
    EXPECT_NEAR(shown[3], outer.bottom - outer.top, 1);
    ExpectLaidOutAt(form_, other);
}
