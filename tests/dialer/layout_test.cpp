// The main window as the user sees it: frame, placement of every control at
// 96 DPI, fonts, colours, banner, icons, tooltips, password field, tab order.
#include <windows.h>
#include <commctrl.h>
#include <imm.h>

#include <map>

#include "dialer/artwork.h"
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
    ShowWindow(hwnd_, SW_MAXIMIZE);
    PumpMessages(50);
    EXPECT_TRUE(IsZoomed(hwnd_));
    ExpectPlaces(table);
    ShowWindow(hwnd_, SW_RESTORE);
    SetWindowPos(hwnd_, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages(50);
    ExpectPlaces(table);
}

TEST_F(Look, LabelFontAndColours) {
    auto font = [this](int id) { return reinterpret_cast<HFONT>(SendMessageW(C(id), WM_GETFONT, 0, 0)); };
    HFONT labelFont = font(IDC_LABEL1);
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(labelFont, sizeof(lf), &lf));
    EXPECT_STREQ(lf.lfFaceName, L"宋体");
    EXPECT_EQ(lf.lfHeight, -14) << "10.5 pt at 96 DPI";
    EXPECT_EQ(lf.lfCharSet, 134);
    EXPECT_TRUE(font(IDC_LABEL2) == labelFont && font(IDC_LABEL3) == labelFont) << "on all three labels";
    EXPECT_TRUE(font(IDC_TEXT1) != labelFont && font(IDC_COMMAND1) != labelFont) << "only there";
    // Distinct colours make sure which index each part is painted with.
    const COLORREF scrollbar = RGB(10, 200, 30), border = RGB(200, 20, 120), window = RGB(250, 240, 5);
    SysColorsScope scheme({COLOR_SCROLLBAR, COLOR_ACTIVEBORDER, COLOR_WINDOW}, {scrollbar, border, window});
    PumpMessages(50);
    Snapshot text1(C(IDC_TEXT1)), text2(C(IDC_TEXT2)), line(C(IDC_LINE1));
    ASSERT_GT(text1.w, 10);
    EXPECT_EQ(text1.At(text1.w - 3, text1.h / 2), scrollbar) << "Text1 on system colour 0";
    EXPECT_EQ(text2.At(text2.w - 3, text2.h / 2), window) << "other fields on the window colour";
    EXPECT_EQ(line.Count(border), static_cast<size_t>(line.w * line.h)) << "Line1 in the active border colour";
}

TEST_F(Look, BannerIsDrawnUnscaledAndCutOff) {
    HBITMAP picture = plat::PictureOf(C(IDC_PICTURE1));
    ASSERT_NE(picture, nullptr) << "the embedded JPEG decodes";
    BITMAP bm{};
    EXPECT_TRUE(GetObjectW(picture, sizeof(bm), &bm) && bm.bmWidth == 308 && bm.bmHeight == 99) << "308 x 99";
    Snapshot shown(C(IDC_PICTURE1));
    EXPECT_TRUE(shown.w < 308 && shown.h < 99) << "cut off at the box's edge";
    // Pixel for pixel the picture's own top-left part.
    plat::UniqueMemDC mem(CreateCompatibleDC(nullptr));
    plat::SelectObjectScope keep(mem.get(), picture);
    int differ = 0;
    for (int y = 0; y < shown.h; y += 3)
        for (int x = 0; x < shown.w; x += 3) differ += shown.At(x, y) != GetPixel(mem.get(), x, y);
    EXPECT_EQ(differ, 0);
}

TEST_F(Look, BadPictureBytesGiveAnEmptyPictureNotACrash) {
    const unsigned char junk[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 2, 3};
    EXPECT_FALSE(plat::DecodePicture(nullptr, 0));
    EXPECT_FALSE(plat::LoadPictureResource(GetModuleHandleW(nullptr), 9999));
    HWND box = plat::CreatePictureBox(hwnd_, {0, 0, 600, 600}, 0, 999);
    ASSERT_NE(box, nullptr);
    plat::SetPicture(box, plat::DecodePicture(junk, sizeof(junk)));
    EXPECT_EQ(plat::PictureOf(box), nullptr);
    EXPECT_EQ(Snapshot(box).At(5, 5), GetSysColor(COLOR_WINDOW)) << "empty box paints its background";
}

TEST(Icons, EveryWindowIconImageLoads) {
    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC group = FindResourceW(self, MAKEINTRESOURCEW(IDI_VORNADEL), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(self, group)));
    // GRPICONDIR: reserved, type, count; then 14-byte entries ending in the image id.
    const WORD count = *reinterpret_cast<const WORD*>(bytes + 4);
    EXPECT_EQ(count, 9);
    for (int i = 0; i < count; ++i) {
        const BYTE* e = bytes + 6 + 14 * i;
        HRSRC image = FindResourceW(self, MAKEINTRESOURCEW(*reinterpret_cast<const WORD*>(e + 12)), RT_ICON);
        ASSERT_NE(image, nullptr) << i;
        plat::UniqueIcon icon(CreateIconFromResourceEx(static_cast<BYTE*>(LockResource(LoadResource(self, image))),
                                                       SizeofResource(self, image), TRUE, 0x00030000, e[0], e[0],
                                                       LR_DEFAULTCOLOR));
        EXPECT_TRUE(icon) << int(e[0]) << " px at " << *reinterpret_cast<const WORD*>(e + 6) << " bpp";
    }
}

TEST_F(Look, TooltipsOnTheThreeFieldsAndCheck1OnlyAndThePasswordField) {
    HWND tip = form_->ToolTip();
    std::map<int, std::wstring> tips;
    for (int i = 0; i < SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0); ++i) {
        wchar_t text[512] = {};
        TTTOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V2_SIZE;
        ti.lpszText = text;
        ASSERT_TRUE(SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&ti)));
        tips[GetDlgCtrlID(reinterpret_cast<HWND>(ti.uId))] = text;
    }
    const std::map<int, std::wstring> expected = {
        {IDC_TEXT1, L"在这里填写连接名称，也就是在网络连接里你创建网络拨号的那个连接名称，一般默认的是：宽带连接"},
        {IDC_TEXT2, L"请在此输入你的上网帐号！"},
        {IDC_TEXT3, L"请在此输入你的密码！"},
        {IDC_CHECK1, L"如需开机自动连接网络，请选择本项！"},
    };
    EXPECT_EQ(tips, expected);
    // Text3 shows stars and has no input method.
    EXPECT_EQ(SendMessageW(C(IDC_TEXT3), EM_GETPASSWORDCHAR, 0, 0), L'*');
    for (int id : {IDC_TEXT1, IDC_TEXT2}) EXPECT_EQ(SendMessageW(C(id), EM_GETPASSWORDCHAR, 0, 0), 0) << id;
    EXPECT_EQ(ImmGetContext(C(IDC_TEXT3)), nullptr);
}

TEST_F(Look, TabVisitsTheControlsInTheirOrderNeverTheHiddenFields) {
    // Hidden flag fields never take part, whatever they hold.
    for (int id : {IDC_TEXT4, IDC_TEXT5}) SetWindowTextW(C(id), L"1");
    const std::vector<int> cycle = {IDC_COMMAND1, IDC_PICTURE1, IDC_COMMAND2, IDC_COMMAND3, IDC_TEXT3,
                                    IDC_TEXT2,    IDC_TEXT1,    IDC_COMMAND4, IDC_CHECK1,   IDC_CHECK2};
    ASSERT_EQ(GetFocus(), C(cycle[0])) << "the first focus";
    for (size_t i = 1; i <= 2 * cycle.size(); ++i) {
        // Tab as the message loop hands it over.
        MSG down{GetFocus(), WM_KEYDOWN, VK_TAB, 0x000F0001, GetTickCount(), {}};
        if (!IsDialogMessageW(hwnd_, &down)) DispatchMessageW(&down);
        EXPECT_EQ(GetFocus(), C(cycle[i % cycle.size()])) << "after Tab press " << i;
    }
    EXPECT_EQ(GetNextDlgTabItem(hwnd_, C(IDC_COMMAND1), TRUE), C(IDC_CHECK2)) << "backwards, the same ring";
}
