// The main window as the user sees it: frame, placement of every control
// (exact at 96 DPI, scaled at others), fonts, colours, banner, icons,
// tooltips, password field, tab order, and a change of DPI while it is open.
#include <windows.h>
#include <commctrl.h>
#include <imm.h>

#include "dialer/artwork.h"
#include "dialer/tray.h"
#include "platform/picture_box.h"
#include "tests/dialer/look_support.h"

using namespace look_testing;

namespace {

// The banner's own size at 96 DPI.
constexpr int kBannerW = 308, kBannerH = 99;

std::vector<Place> MainWindowTable(MainWindow* form) {
    auto C = [form](int id) { return form->Control(id); };
    HWND me = form->hwnd(), f = C(IDC_FIELDS_FRAME);
    return {
        {C(IDC_BANNER), me, plat::kPictureBoxClassName, {8, 8, 305, 97}, L"", true},
        {f, me, plat::kFrameClassName, {32, 112, 249, 81}, L"", true},
        {C(IDC_AUTOSTART), me, L"Button", {48, 200, 97, 17}, L"开机自动拨号", true},
        {C(IDC_AUTO_REDIAL), me, L"Button", {160, 200, 113, 17}, L"断网后自动连接", true},
        {C(IDC_AUTOSTART_FLAG), me, L"Edit", {56, 216, 65, 18}, L"", false},
        {C(IDC_REDIAL_FLAG), me, L"Edit", {168, 216, 65, 18}, L"", false},
        {C(IDC_SEPARATOR), me, L"Static", {16, 232, 288, 1}, L"", true},
        {C(IDC_DIAL), me, L"Button", {16, 240, 65, 25}, L"连 接", true},
        {C(IDC_DISCONNECT), me, L"Button", {88, 240, 65, 25}, L"断 开", true},
        {C(IDC_UPDATE), me, L"Button", {160, 240, 65, 25}, L"升 级", true},
        {C(IDC_ABOUT), me, L"Button", {232, 240, 65, 25}, L"关 于", true},
        {C(IDC_CONNECTION_LABEL), f, L"Static", {8, 10, 81, 17}, L"连接名称：", true},
        {C(IDC_ACCOUNT_LABEL), f, L"Static", {8, 34, 81, 17}, L"用 户 名：", true},
        {C(IDC_PASSWORD_LABEL), f, L"Static", {8, 58, 81, 17}, L"密    码：", true},
        {C(IDC_CONNECTION_NAME), f, L"Edit", {72, 8, 169, 21}, L"宽带连接", true},
        {C(IDC_ACCOUNT), f, L"Edit", {72, 31, 169, 21}, L"", true},
        {C(IDC_PASSWORD), f, L"Edit", {72, 55, 169, 21}, L"", true},
    };
}

HFONT FontOf(HWND control) { return reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)); }
LONG FontHeight(HWND control) {
    LOGFONTW lf{};
    GetObjectW(FontOf(control), sizeof(lf), &lf);
    return lf.lfHeight;
}

// The banner covers its box to the inner right and bottom edges: no band
// of the box's background colour where the picture would end too soon.
void ExpectBannerFillsItsBox(HWND box) {
    Snapshot shown(box);
    const int w = shown.r.right, h = shown.r.bottom;
    int band = 0;
    for (int y = 0; y < h; y += 2) band += shown.At(w - 1, y) == GetSysColor(COLOR_WINDOW);
    for (int x = 0; x < w; x += 2) band += shown.At(x, h - 1) == GetSysColor(COLOR_WINDOW);
    EXPECT_EQ(band, 0) << "box inside " << w << " x " << h;
}

}  // namespace

TEST_F(Look, FormAndEveryControlAtTheirPlacesAndResizingMovesNothing) {
    ExpectForm(hwnd_, L"VornadelZembrel V1.0", {278, 67, 324, 272});
    const std::vector<Place> table = MainWindowTable(form_);
    ExpectPlaces(table);
    for (int id : {IDC_CONNECTION_LABEL, IDC_ACCOUNT_LABEL, IDC_PASSWORD_LABEL, IDC_CONNECTION_NAME, IDC_AUTOSTART, IDC_AUTO_REDIAL}) ExpectTextFits(C(id));
    EXPECT_EQ(IconWidth(TrayData().hIcon), plat::SystemMetricAt(SM_CXSMICON, Dpi())) << "the tray icon's size";
    for (int px : {16, 32, 48})  // the program's icon in each of its sizes
        EXPECT_TRUE(plat::UniqueIcon(static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_VORNADEL), IMAGE_ICON, px, px, 0)))) << px;
    for (int show : {SW_MAXIMIZE, SW_RESTORE}) {
        ShowWindow(hwnd_, show);
        if (show == SW_RESTORE) SetWindowPos(hwnd_, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
        PumpMessages(50);
        EXPECT_EQ(IsZoomed(hwnd_) != FALSE, show == SW_MAXIMIZE);
        ExpectPlaces(table);
    }
}

TEST_F(Look, LabelFontFieldColoursTooltipsAndThePasswordField) {
    auto font = [this](int id) { return FontOf(C(id)); };
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(font(IDC_CONNECTION_LABEL), sizeof(lf), &lf));
    EXPECT_STREQ(lf.lfFaceName, L"宋体");
    EXPECT_EQ(lf.lfHeight, At(-14)) << "10.5 pt (14 pixels at 96 DPI)";
    EXPECT_EQ(lf.lfCharSet, 134);
    EXPECT_EQ(FontHeight(C(IDC_CONNECTION_NAME)), At(-12)) << "the controls' 9 pt";
    EXPECT_TRUE(font(IDC_PASSWORD_LABEL) == font(IDC_CONNECTION_LABEL) && font(IDC_CONNECTION_NAME) != font(IDC_CONNECTION_LABEL));
    // A colour no scheme uses makes sure which index the name field is painted with.
    const int index = COLOR_SCROLLBAR;
    const COLORREF old = GetSysColor(index), mark = RGB(10, 200, 30);
    SetSysColors(1, &index, &mark);
    PumpMessages(50);
    const COLORREF text1 = Snapshot(C(IDC_CONNECTION_NAME)).At(150, 10), text2 = Snapshot(C(IDC_ACCOUNT)).At(150, 10);
    SetSysColors(1, &index, &old);
    EXPECT_EQ(text1, mark);
    EXPECT_EQ(text2, GetSysColor(COLOR_WINDOW)) << "the other fields on the window colour";
    HWND tip = form_->ToolTip();
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 4) << "tooltips on the three fields and the start-with-Windows box only";
    for (const auto& [id, want] : std::vector<std::pair<int, const wchar_t*>>{
             {IDC_CONNECTION_NAME, L"在这里填写连接名称，也就是在网络连接里你创建网络拨号的那个连接名称，一般默认的是：宽带连接"},
             {IDC_ACCOUNT, L"请在此输入你的上网帐号！"},
             {IDC_PASSWORD, L"请在此输入你的密码！"},
             {IDC_AUTOSTART, L"如需开机自动连接网络，请选择本项！"}}) {
        wchar_t text[512] = {};
        TTTOOLINFOW ti{TTTOOLINFOW_V2_SIZE, TTF_IDISHWND, hwnd_, reinterpret_cast<UINT_PTR>(C(id)), {}, {}, text, 0, {}};
        SendMessageW(tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&ti));
        EXPECT_STREQ(text, want) << id;
    }
    // The password shows stars and has no input method.
    EXPECT_EQ(SendMessageW(C(IDC_PASSWORD), EM_GETPASSWORDCHAR, 0, 0), L'*');
    EXPECT_EQ(ImmGetContext(C(IDC_PASSWORD)), nullptr);
}

TEST_F(Look, BannerIsDrawnAtItsSizeForTheDpiAndCutOffAndBadBytesLeaveABoxEmpty) {
    HBITMAP picture = plat::PictureOf(C(IDC_BANNER));
    BITMAP bm{};
    ASSERT_TRUE(picture && GetObjectW(picture, sizeof(bm), &bm) && bm.bmWidth == kBannerW && bm.bmHeight == kBannerH)
        << "the embedded 308 x 99 JPEG decodes";
    Snapshot shown(C(IDC_BANNER));
    const int w = shown.r.right, h = shown.r.bottom;
    // Cut off a few pixels short, by the same share at every DPI.
    EXPECT_TRUE(w < At(kBannerW) && h < At(kBannerH) && w > At(kBannerW - 10) && h > At(kBannerH - 10))
        << w << " x " << h;
    ExpectBannerFillsItsBox(C(IDC_BANNER));  // before the picture is selected into a DC of ours
    // At 96 DPI the picture itself; above, the large rendering brought down
    // to the picture's size at the DPI (never the small one enlarged).
    plat::UniqueBitmap large = LoadLargeBanner();
    ASSERT_TRUE(large && GetObjectW(large.get(), sizeof(bm), &bm) && bm.bmWidth == 2 * kBannerW &&
                bm.bmHeight == 2 * kBannerH);
    plat::UniqueBitmap expected =
        Dpi() == 96 ? plat::UniqueBitmap() : plat::ResamplePicture(large.get(), At(kBannerW), At(kBannerH));
    plat::UniqueMemDC mem(CreateCompatibleDC(nullptr));
    plat::SelectObjectScope keep(mem.get(), Dpi() == 96 ? picture : expected.get());
    int differ = 0;  // pixel for pixel the picture's own top-left part
    for (int y = 0; y < h; y += 3)
        for (int x = 0; x < w; x += 3) differ += shown.At(x, y) != GetPixel(mem.get(), x, y);
    EXPECT_EQ(differ, 0);

    const unsigned char junk[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 2, 3};
    HWND box = plat::CreatePictureBox(hwnd_, {0, 0, 600, 600}, 0, 999);
    plat::SetPicture(box, plat::DecodePicture(junk, sizeof(junk)));
    EXPECT_EQ(plat::PictureOf(box), nullptr);
    EXPECT_EQ(Snapshot(box).At(5, 5), GetSysColor(COLOR_WINDOW)) << "an empty box paints its background";
}

TEST_F(Look, TabVisitsTheControlsInTheirOrderNeverTheHiddenFields) {
    for (int id : {IDC_AUTOSTART_FLAG, IDC_REDIAL_FLAG}) SetWindowTextW(C(id), L"1");  // whatever they hold
    const std::vector<int> cycle = {IDC_DIAL, IDC_BANNER, IDC_DISCONNECT, IDC_ABOUT, IDC_PASSWORD,
                                    IDC_ACCOUNT,    IDC_CONNECTION_NAME,    IDC_UPDATE, IDC_AUTOSTART,   IDC_AUTO_REDIAL};
    ASSERT_EQ(GetFocus(), C(cycle[0])) << "the first focus";
    for (size_t i = 1; i <= 2 * cycle.size(); ++i) {
        MSG down{GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001, GetTickCount(), {}};  // as the message loop hands it over
        if (!IsDialogMessageW(hwnd_, &down)) DispatchMessageW(&down);
        EXPECT_EQ(GetFocus(), C(cycle[i % cycle.size()])) << "after Tab press " << i;
    }
}

TEST_F(Look, ResamplingAveragesTheAreaEachPixelCovers) {
    // 3 x 1 source, black, white, black, to 2 x 1: each target pixel covers
    // one and a half source pixels.
    BITMAPINFO info{{sizeof(BITMAPINFOHEADER), 3, -1, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
    void* bits = nullptr;
    plat::UniqueBitmap source(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(source && bits);
    const DWORD pixels[3] = {0x000000, 0xFFFFFF, 0x000000};
    memcpy(bits, pixels, sizeof(pixels));
    plat::UniqueBitmap out = plat::ResamplePicture(source.get(), 2, 1);
    plat::UniqueMemDC mem(CreateCompatibleDC(nullptr));
    plat::SelectObjectScope keep(mem.get(), out.get());
    EXPECT_EQ(GetPixel(mem.get(), 0, 0), RGB(85, 85, 85)) << "two thirds black, one third white";
    EXPECT_EQ(GetPixel(mem.get(), 1, 0), RGB(85, 85, 85));
}

TEST_F(Look, DpiChangeLaysTheWindowOutAgainTakesTheSuggestedPlaceAndRemakesFontsAndIcons) {
    const int start = Dpi();
    const std::vector<Place> table = MainWindowTable(form_);
    for (int dpi : {start == 144 ? 96 : 144, start}) {
        SCOPED_TRACE(dpi);
        const HFONT labelFont = FontOf(C(IDC_CONNECTION_LABEL)), controlFont = FontOf(C(IDC_CONNECTION_NAME));
        ChangeDpi(hwnd_, 324, 272, dpi);
        ExpectPlaces(table, dpi);
        EXPECT_TRUE(FontOf(C(IDC_CONNECTION_LABEL)) != labelFont && FontOf(C(IDC_PASSWORD_LABEL)) == FontOf(C(IDC_CONNECTION_LABEL)));
        EXPECT_EQ(FontHeight(C(IDC_ACCOUNT_LABEL)), At(-14, dpi));
        EXPECT_NE(FontOf(C(IDC_CONNECTION_NAME)), controlFont);
        for (int id : {IDC_ACCOUNT, IDC_AUTOSTART, IDC_UPDATE}) EXPECT_EQ(FontHeight(C(id)), At(-12, dpi)) << id;
        for (HFONT old : {labelFont, controlFont})
            EXPECT_NE(GetObjectType(old), static_cast<DWORD>(OBJ_FONT)) << "the old fonts are freed";
        ExpectIconsAt(hwnd_, dpi);
        EXPECT_EQ(IconWidth(TrayData().hIcon), plat::SystemMetricAt(SM_CXSMICON, dpi)) << "the tray icon again";
        // The skin made its faces again at the buttons' new size.
        BITMAP face{};
        RECT button{};
        GetWindowRect(C(IDC_DIAL), &button);
        ASSERT_TRUE(GetObjectW(GetPropW(C(IDC_DIAL), L"BMP0"), sizeof(face), &face));
        EXPECT_TRUE(face.bmWidth == button.right - button.left && face.bmHeight == button.bottom - button.top);
        ExpectBannerFillsItsBox(C(IDC_BANNER));
    }
    // Hidden in the tray, the window comes back at the size of the new DPI.
    const int other = start == 144 ? 96 : 144;
    ShowWindow(hwnd_, SW_MINIMIZE);
    RECT minimised{0, 0, 160, 30};
    SendMessageW(hwnd_, WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&minimised));
    EXPECT_FALSE(IsWindowVisible(hwnd_)) << "still in the tray";
    SendMessageW(hwnd_, WM_COMMAND, IDM_SHOW, 0);
    PumpMessages(50);
    ExpectPlaces(table, other);
    RECT shown{}, outer = plat::OuterRectForClientAt(0, 0, At(324, other), At(272, other),
                                                     GetWindowLongW(hwnd_, GWL_STYLE), 0, other);
    GetWindowRect(hwnd_, &shown);
    EXPECT_NEAR(shown.right - shown.left, outer.right - outer.left, 1);
    EXPECT_NEAR(shown.bottom - shown.top, outer.bottom - outer.top, 1);
}
