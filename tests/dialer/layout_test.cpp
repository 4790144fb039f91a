// The main window as the user sees it: frame, placement of every control at
// 96 DPI, fonts, colours, banner, icons, tooltips, password field, tab order.
#include <windows.h>
#include <commctrl.h>
#include <imm.h>

#include "platform/picture_box.h"
#include "platform/units.h"
#include "tests/dialer/look_support.h"

using namespace look_testing;

TEST_F(Look, FormAndEveryControlAtTheirPlacesAndResizingMovesNothing) {
    ASSERT_EQ(plat::TwipsToPixelsX(1440), 96) << "the figures below are for 96 DPI";
    ExpectForm(hwnd_, L"VornadelZembrel V1.0", {278, 67, 324, 272});
    HWND f = C(IDC_FRAME1);
    const std::vector<Place> table = {
        {C(IDC_PICTURE1), hwnd_, plat::kPictureBoxClassName, {8, 8, 305, 97}, L"", true},
        {f, hwnd_, plat::kFrameClassName, {32, 112, 249, 81}, L"", true},
        {C(IDC_CHECK1), hwnd_, L"Button", {48, 200, 97, 17}, L"开机自动拨号", true},
        {C(IDC_CHECK2), hwnd_, L"Button", {160, 200, 113, 17}, L"断网后自动连接", true},
        {C(IDC_TEXT4), hwnd_, L"Edit", {56, 216, 65, 18}, L"", false},
        {C(IDC_TEXT5), hwnd_, L"Edit", {168, 216, 65, 18}, L"", false},
        {C(IDC_LINE1), hwnd_, L"Static", {16, 232, 288, 1}, L"", true},
        {C(IDC_COMMAND1), hwnd_, L"Button", {16, 240, 65, 25}, L"连 接", true},
        {C(IDC_COMMAND2), hwnd_, L"Button", {88, 240, 65, 25}, L"断 开", true},
        {C(IDC_COMMAND4), hwnd_, L"Button", {160, 240, 65, 25}, L"升 级", true},
        {C(IDC_COMMAND3), hwnd_, L"Button", {232, 240, 65, 25}, L"关 于", true},
        {C(IDC_LABEL1), f, L"Static", {8, 10, 81, 17}, L"连接名称：", true},
        {C(IDC_LABEL2), f, L"Static", {8, 34, 81, 17}, L"用 户 名：", true},
        {C(IDC_LABEL3), f, L"Static", {8, 58, 81, 17}, L"密    码：", true},
        {C(IDC_TEXT1), f, L"Edit", {72, 8, 169, 21}, L"宽带连接", true},
        {C(IDC_TEXT2), f, L"Edit", {72, 31, 169, 21}, L"", true},
        {C(IDC_TEXT3), f, L"Edit", {72, 55, 169, 21}, L"", true},
    };
    ExpectPlaces(table);
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
    auto font = [this](int id) { return reinterpret_cast<HFONT>(SendMessageW(C(id), WM_GETFONT, 0, 0)); };
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(font(IDC_LABEL1), sizeof(lf), &lf));
    EXPECT_STREQ(lf.lfFaceName, L"宋体");
    EXPECT_EQ(lf.lfHeight, -14) << "10.5 pt at 96 DPI";
    EXPECT_EQ(lf.lfCharSet, 134);
    EXPECT_TRUE(font(IDC_LABEL3) == font(IDC_LABEL1) && font(IDC_TEXT1) != font(IDC_LABEL1));
    // A colour no scheme uses makes sure which index Text1 is painted with.
    const int index = COLOR_SCROLLBAR;
    const COLORREF old = GetSysColor(index), mark = RGB(10, 200, 30);
    SetSysColors(1, &index, &mark);
    PumpMessages(50);
    const COLORREF text1 = Snapshot(C(IDC_TEXT1)).At(150, 10), text2 = Snapshot(C(IDC_TEXT2)).At(150, 10);
    SetSysColors(1, &index, &old);
    EXPECT_EQ(text1, mark);
    EXPECT_EQ(text2, GetSysColor(COLOR_WINDOW)) << "the other fields on the window colour";
    HWND tip = form_->ToolTip();
    EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 4) << "tooltips on the three fields and Check1 only";
    for (const auto& [id, want] : std::vector<std::pair<int, const wchar_t*>>{
             {IDC_TEXT1, L"在这里填写连接名称，也就是在网络连接里你创建网络拨号的那个连接名称，一般默认的是：宽带连接"},
             {IDC_TEXT2, L"请在此输入你的上网帐号！"},
             {IDC_TEXT3, L"请在此输入你的密码！"},
             {IDC_CHECK1, L"如需开机自动连接网络，请选择本项！"}}) {
        wchar_t text[512] = {};
        TTTOOLINFOW ti{TTTOOLINFOW_V2_SIZE, TTF_IDISHWND, hwnd_, reinterpret_cast<UINT_PTR>(C(id)), {}, {}, text, 0, {}};
        SendMessageW(tip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&ti));
        EXPECT_STREQ(text, want) << id;
    }
    // Text3 shows stars and has no input method.
    EXPECT_EQ(SendMessageW(C(IDC_TEXT3), EM_GETPASSWORDCHAR, 0, 0), L'*');
    EXPECT_EQ(ImmGetContext(C(IDC_TEXT3)), nullptr);
}

TEST_F(Look, BannerIsDrawnUnscaledAndCutOffAndBadBytesLeaveABoxEmpty) {
    HBITMAP picture = plat::PictureOf(C(IDC_PICTURE1));
    BITMAP bm{};
    ASSERT_TRUE(picture && GetObjectW(picture, sizeof(bm), &bm) && bm.bmWidth == 308 && bm.bmHeight == 99)
        << "the embedded 308 x 99 JPEG decodes";
    Snapshot shown(C(IDC_PICTURE1));
    const int w = shown.r.right, h = shown.r.bottom;
    EXPECT_TRUE(w < 308 && h < 99 && w > 298 && h > 89) << "cut off a few pixels short: " << w << " x " << h;
    plat::UniqueMemDC mem(CreateCompatibleDC(nullptr));
    plat::SelectObjectScope keep(mem.get(), picture);
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
    for (int id : {IDC_TEXT4, IDC_TEXT5}) SetWindowTextW(C(id), L"1");  // whatever they hold
    const std::vector<int> cycle = {IDC_COMMAND1, IDC_PICTURE1, IDC_COMMAND2, IDC_COMMAND3, IDC_TEXT3,
                                    IDC_TEXT2,    IDC_TEXT1,    IDC_COMMAND4, IDC_CHECK1,   IDC_CHECK2};
    ASSERT_EQ(GetFocus(), C(cycle[0])) << "the first focus";
    for (size_t i = 1; i <= 2 * cycle.size(); ++i) {
        MSG down{GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001, GetTickCount(), {}};  // as the message loop hands it over
        if (!IsDialogMessageW(hwnd_, &down)) DispatchMessageW(&down);
        EXPECT_EQ(GetFocus(), C(cycle[i % cycle.size()])) << "after Tab press " << i;
    }
}
