#include <windows.h>
#include <imm.h>

#include <algorithm>

#include "dialer/artwork.h"
#include "platform/picture_box.h"
#include "skin/engine.h"
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

namespace {

// What the screen shows of a window, borders included, row by row; where: its window rectangle.
std::vector<COLORREF> ScreenPixels(HWND hwnd, Rect* where = nullptr) {
    const Rect r = RectOf(hwnd);
    POINT at{r[0], r[1]};
    ClientToScreen(GetParent(hwnd), &at);
    if (where) *where = {at.x, at.y, r[2], r[3]};
    plat::WindowDC screen(nullptr);
    plat::UniqueBitmap shot(CreateCompatibleBitmap(screen.get(), r[2], r[3]));
    plat::UniqueMemDC mem(CreateCompatibleDC(screen.get()));
    plat::SelectObjectScope keep(mem.get(), shot.get());
    BitBlt(mem.get(), 0, 0, r[2], r[3], screen.get(), at.x, at.y, SRCCOPY);
    std::vector<COLORREF> pixels;
    for (int i = 0; i < r[2] * r[3]; ++i) pixels.push_back(GetPixel(mem.get(), i % r[2], i / r[2]));
    return pixels;
}

bool Shows(const std::vector<COLORREF>& pixels, COLORREF colour) {
    return std::find(pixels.begin(), pixels.end(), colour) != pixels.end();
}

bool g_highContrast = true;
bool HighContrast() { return g_highContrast; }

COLORREF TextColourOf(HWND form, HWND control) {
    plat::UniqueMemDC dc(CreateCompatibleDC(nullptr));
    SendMessageW(form, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc.get()), reinterpret_cast<LPARAM>(control));
    return GetTextColor(dc.get());
}

}  // namespace

TEST_F(Look, EachLabelJustBeforeItsFieldWhichStaysDrawnOverItAndTabPassesAFocusedBanner) {
    ASSERT_TRUE(Open());
    SetForegroundWindow(hwnd_);
    PumpMessages(200);
    const int labelOf[][2] = {{IDC_CONNECTION_NAME, IDC_CONNECTION_LABEL}, {IDC_ACCOUNT, IDC_ACCOUNT_LABEL},
                              {IDC_PASSWORD, IDC_PASSWORD_LABEL}};
    for (int i = 0; i < 6; ++i) {
        const int field = labelOf[i % 3][0], label = labelOf[i % 3][1];
        SCOPED_TRACE(std::to_string(field) + (i < 3 ? " as opened" : " after a change of DPI"));
        if (i == 3) ChangeDpi(hwnd_, 324, 272, Dpi() == 144 ? 96 : 144);
        EXPECT_EQ(GetWindow(C(field), GW_HWNDPREV), C(label)) << "the label names the field";
        // The field's left end, under the label's box: its flat border and its own background.
        Rect at{}, box{};
        const std::vector<COLORREF> pixels = ScreenPixels(C(field), &at);
        const COLORREF inside = GetSysColor(field == IDC_CONNECTION_NAME ? COLOR_SCROLLBAR : COLOR_WINDOW);
        for (int y = 3; y < at[3] - 3; ++y)
            EXPECT_TRUE(pixels[y * at[2]] == skin::kFlatBorderEnabled && pixels[y * at[2] + 3] == inside) << y;
        EXPECT_TRUE(Shows(ScreenPixels(C(label), &box), GetSysColor(COLOR_BTNTEXT))) << "the label's text shows";
        plat::UniqueRegion shape(CreateRectRgn(0, 0, 0, 0));
        RECT kept{};
        GetWindowRgn(C(label), shape.get());
        GetRgnBox(shape.get(), &kept);
        EXPECT_EQ((Rect{kept.left, kept.top, kept.right, kept.bottom}), (Rect{0, 0, at[0] - box[0], box[3]}));
    }
    std::vector<int> order;
    HWND at = C(IDC_DIAL);
    for (int i = 0; i < 10; ++i, at = GetNextDlgTabItem(hwnd_, at, FALSE)) order.push_back(GetDlgCtrlID(at));
    EXPECT_EQ(order, (std::vector<int>{IDC_DIAL, IDC_BANNER, IDC_DISCONNECT, IDC_ABOUT, IDC_PASSWORD, IDC_ACCOUNT,
                                        IDC_CONNECTION_NAME, IDC_UPDATE, IDC_AUTOSTART, IDC_AUTO_REDIAL}));
    EXPECT_EQ(at, C(IDC_DIAL));
    const std::vector<COLORREF> unfocused = ScreenPixels(C(IDC_BANNER));
    SetFocus(C(IDC_BANNER));
    PumpMessages(100);
    EXPECT_NE(ScreenPixels(C(IDC_BANNER)), unfocused) << "a focused banner shows it";
}

TEST_F(Look, HighContrastGivesTheSchemesColoursAndPlainButtonsBothWaysAtRunTime) {
    // Text and link colours of their own, as a scheme has them (Wine's text colours are all black).
    struct OwnColours {
        const INT which[2] = {COLOR_WINDOWTEXT, COLOR_HOTLIGHT};
        const COLORREF own[2] = {RGB(1, 2, 3), RGB(4, 5, 6)}, before[2] = {GetSysColor(which[0]), GetSysColor(which[1])};
        OwnColours() { SetSysColors(2, which, own); }
        ~OwnColours() { SetSysColors(2, which, before); }
    } colours;
    plat::SetHighContrastQuery(HighContrast);
    ASSERT_TRUE(Open());
    ShowAboutWindow();
    const HWND about = AboutWindowHandle(), version = AboutControl(IDC_ABOUT_VERSION);
    SetForegroundWindow(hwnd_);
    std::vector<std::vector<COLORREF>> faces;  // of the dial button, at each pass
    COLORREF skinEdge = CLR_INVALID;
    for (bool high : {true, false, true}) {
        if (high != g_highContrast) {
            g_highContrast = high;
            for (HWND form : {hwnd_, about}) SendMessageW(form, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        }
        PumpMessages(150);
        faces.push_back(ScreenPixels(C(IDC_DIAL)));
        if (!high) skinEdge = GetPixel(skin::SkinTemplateDC(), 4, 0);
        EXPECT_EQ(reinterpret_cast<WNDPROC>(GetWindowLongPtrW(C(IDC_ABOUT), GWLP_WNDPROC)) == skin::ButtonProc, !high);
        EXPECT_EQ(TextColourOf(hwnd_, C(IDC_PASSWORD_LABEL)) == colours.own[0], high);
        EXPECT_EQ(TextColourOf(about, version) == colours.own[0], high);
        EXPECT_EQ(TextColourOf(about, AboutControl(IDC_ABOUT_AUTHOR)) == colours.own[1], high) << "a link";
    }
    for (size_t i = 0; i < faces.size(); ++i) EXPECT_EQ(Shows(faces[i], skinEdge), i == 1) << "the skin's pixels, pass " << i;
}
