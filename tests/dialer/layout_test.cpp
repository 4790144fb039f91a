// The main window as the user sees it: frame, placement of every control at
// 96 DPI, texts, fonts, colours, banner, tooltips, tab order and the menu.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "dialer/artwork.h"
#include "dialer/main_window.h"
#include "dialer/resource.h"
#include "platform/picture_box.h"
#include "platform/text.h"
#include "platform/units.h"
#include "tests/dialer/look_support.h"
#include "tests/support/testing.h"

using namespace dialer;
using namespace look_testing;
using testing_support::PumpMessages;
using testing_support::RemoveSettingsFile;

namespace {

class MainWindowLook : public ::testing::Test {
protected:
    void SetUp() override {
        RemoveSettingsFile();
        form_ = Form1::Create();
        ASSERT_NE(form_, nullptr);
        hwnd_ = form_->hwnd();
        PumpMessages(100);
    }
    void TearDown() override {
        if (IsWindow(hwnd_)) form_->Unload();
        PumpMessages(50);
        RemoveSettingsFile();
    }
    HWND C(int id) const { return form_->Control(id); }
    HWND Frame() const { return C(IDC_FRAME1); }
    int IdOf(HWND h) const { return h ? GetDlgCtrlID(h) : 0; }

    // Presses Tab the way the message loop hands it over.
    void PressTab() {
        HWND focus = GetFocus();
        MSG msg{focus ? focus : hwnd_, WM_KEYDOWN, VK_TAB, 0x000F0001, GetTickCount(), {}};
        if (!IsDialogMessageW(hwnd_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MSG up{msg.hwnd, WM_KEYUP, VK_TAB, static_cast<LPARAM>(0xC00F0001), GetTickCount(), {}};
        IsDialogMessageW(hwnd_, &up);
    }

    Form1* form_ = nullptr;
    HWND hwnd_ = nullptr;
};

}  // namespace

TEST(Units, TwipsBecomePixelsAtTheScreenDpi) {
    HDC screen = GetDC(nullptr);
    const int dpiX = GetDeviceCaps(screen, LOGPIXELSX), dpiY = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(plat::TwipsToPixelsX(1440), dpiX);
    EXPECT_EQ(plat::TwipsToPixelsY(1440), dpiY);
    ASSERT_EQ(dpiX, 96) << "the layout figures below are for 96 DPI";
    EXPECT_EQ(plat::TwipsToPixelsX(4575), 305);
    EXPECT_EQ(plat::TwipsToPixelsY(15), 1);
    EXPECT_EQ(plat::TwipsToPixelsY(0), 0);
}

TEST_F(MainWindowLook, FrameCaptionAndPlace) {
    EXPECT_EQ(plat::WindowText(hwnd_), L"VornadelZembrel V1.0");
    const LONG style = GetWindowLongW(hwnd_, GWL_STYLE);
    for (LONG bit : {WS_CAPTION, WS_SYSMENU, WS_MINIMIZEBOX, WS_MAXIMIZEBOX, WS_THICKFRAME})
        EXPECT_EQ(style & bit, bit) << std::hex << bit;
    const LONG ex = GetWindowLongW(hwnd_, GWL_EXSTYLE);
    EXPECT_EQ(ex & WS_EX_TOOLWINDOW, 0) << "shown in the taskbar";
    EXPECT_EQ(GetWindow(hwnd_, GW_OWNER), nullptr);
    EXPECT_EQ(GetMenu(hwnd_), nullptr) << "no menu bar";
    EXPECT_EQ(ClientOnScreen(hwnd_), (Rect{278, 67, 324, 272}));
    EXPECT_TRUE(IsWindowVisible(hwnd_));
    EXPECT_EQ(GetFocus(), C(IDC_COMMAND1)) << "the first focus";
}

TEST_F(MainWindowLook, EveryControlSitsAtItsDesignPlace) {
    struct Expect {
        int id;
        bool inFrame;
        const wchar_t* cls;
        Rect px;
        const wchar_t* text;
        bool visible;
    };
    const Expect table[] = {
        {IDC_PICTURE1, false, plat::kPictureBoxClassName, {8, 8, 305, 97}, L"", true},
        {IDC_FRAME1, false, plat::kFrameClassName, {32, 112, 249, 81}, L"", true},
        {IDC_CHECK1, false, L"Button", {48, 200, 97, 17}, L"开机自动拨号", true},
        {IDC_CHECK2, false, L"Button", {160, 200, 113, 17}, L"断网后自动连接", true},
        {IDC_TEXT4, false, L"Edit", {56, 216, 65, 18}, L"", false},
        {IDC_TEXT5, false, L"Edit", {168, 216, 65, 18}, L"", false},
        {IDC_LINE1, false, L"Static", {16, 232, 288, 1}, L"", true},
        {IDC_COMMAND1, false, L"Button", {16, 240, 65, 25}, L"连 接", true},
        {IDC_COMMAND2, false, L"Button", {88, 240, 65, 25}, L"断 开", true},
        {IDC_COMMAND4, false, L"Button", {160, 240, 65, 25}, L"升 级", true},
        {IDC_COMMAND3, false, L"Button", {232, 240, 65, 25}, L"关 于", true},
        {IDC_LABEL1, true, L"Static", {8, 10, 81, 17}, L"连接名称：", true},
        {IDC_LABEL2, true, L"Static", {8, 34, 81, 17}, L"用 户 名：", true},
        {IDC_LABEL3, true, L"Static", {8, 58, 81, 17}, L"密    码：", true},
        {IDC_TEXT1, true, L"Edit", {72, 8, 169, 21}, L"宽带连接", true},
        {IDC_TEXT2, true, L"Edit", {72, 31, 169, 21}, L"", true},
        {IDC_TEXT3, true, L"Edit", {72, 55, 169, 21}, L"", true},
    };
    for (const auto& e : table) {
        SCOPED_TRACE(e.id);
        HWND h = C(e.id);
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(GetParent(h), e.inFrame ? Frame() : hwnd_);
        EXPECT_EQ(ClassOf(h), e.cls);
        EXPECT_EQ(RectInParent(h), e.px);
        EXPECT_EQ(plat::WindowText(h), e.text);
        EXPECT_EQ(IsWindowVisible(h) != FALSE, e.visible);
    }
    // The frame has no border of its own: its children are placed from its corner.
    RECT fc{};
    GetClientRect(Frame(), &fc);
    EXPECT_EQ(fc.right, 249);
    EXPECT_EQ(fc.bottom, 81);
    // Push buttons (drawn by the skin) and check boxes of the right kind, no access keys anywhere.
    for (int id : {IDC_COMMAND1, IDC_COMMAND2, IDC_COMMAND3, IDC_COMMAND4}) {
        EXPECT_EQ(GetWindowLongW(C(id), GWL_STYLE) & BS_TYPEMASK, BS_OWNERDRAW);
        EXPECT_NE(GetPropW(C(id), L"PROCADDR"), nullptr);
    }
    for (int id : {IDC_CHECK1, IDC_CHECK2}) {
        EXPECT_EQ(GetWindowLongW(C(id), GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
        EXPECT_EQ(SendMessageW(C(id), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    }
    for (int id : {IDC_TEXT1, IDC_TEXT2, IDC_TEXT3, IDC_TEXT4, IDC_TEXT5}) {
        const LONG s = GetWindowLongW(C(id), GWL_STYLE);
        EXPECT_EQ(s & (ES_MULTILINE | WS_HSCROLL | WS_VSCROLL), 0) << "single line, no scroll bars";
    }
}

TEST_F(MainWindowLook, ResizingAndMaximisingMoveNothing) {
    std::map<int, Rect> before;
    for (int id = IDC_PICTURE1; id <= IDC_LINE1; ++id) before[id] = RectInParent(C(id));
    ShowWindow(hwnd_, SW_MAXIMIZE);
    PumpMessages(50);
    EXPECT_TRUE(IsZoomed(hwnd_));
    for (const auto& [id, r] : before) EXPECT_EQ(RectInParent(C(id)), r) << id;
    ShowWindow(hwnd_, SW_RESTORE);
    SetWindowPos(hwnd_, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER);
    PumpMessages(50);
    for (const auto& [id, r] : before) EXPECT_EQ(RectInParent(C(id)), r) << id;
}

TEST_F(MainWindowLook, LabelsHaveTheirOwnFontTheRestTheDefault) {
    HFONT labelFont = reinterpret_cast<HFONT>(SendMessageW(C(IDC_LABEL1), WM_GETFONT, 0, 0));
    ASSERT_NE(labelFont, nullptr);
    LOGFONTW lf{};
    ASSERT_TRUE(GetObjectW(labelFont, sizeof(lf), &lf));
    EXPECT_STREQ(lf.lfFaceName, L"宋体");
    EXPECT_EQ(lf.lfHeight, -14) << "10.5 pt at 96 DPI";
    EXPECT_EQ(lf.lfWeight, FW_NORMAL);
    EXPECT_EQ(lf.lfCharSet, GB2312_CHARSET);
    EXPECT_FALSE(lf.lfItalic || lf.lfUnderline || lf.lfStrikeOut);
    for (int id : {IDC_LABEL2, IDC_LABEL3})
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(C(id), WM_GETFONT, 0, 0)), labelFont);
    // The rest: the form's default, 宋体 9 pt.
    LOGFONTW def{};
    ASSERT_TRUE(GetObjectW(plat::DefaultFont(), sizeof(def), &def));
    EXPECT_STREQ(def.lfFaceName, L"宋体");
    EXPECT_EQ(def.lfHeight, -12);
    EXPECT_EQ(def.lfCharSet, GB2312_CHARSET);
    for (int id : {IDC_TEXT1, IDC_CHECK1, IDC_COMMAND1, IDC_COMMAND3}) {
        HFONT f = reinterpret_cast<HFONT>(SendMessageW(C(id), WM_GETFONT, 0, 0));
        EXPECT_NE(f, labelFont) << id;
        EXPECT_EQ(f, plat::DefaultFont()) << id;
    }
}

TEST_F(MainWindowLook, ColoursFollowTheSystemScheme) {
    // Distinct colours make sure which index each part is painted with.
    const COLORREF scrollbar = RGB(10, 200, 30), border = RGB(200, 20, 120), window = RGB(250, 240, 5);
    SysColorsScope scheme({COLOR_SCROLLBAR, COLOR_ACTIVEBORDER, COLOR_WINDOW}, {scrollbar, border, window});
    PumpMessages(50);

    Snapshot text1(C(IDC_TEXT1));
    ASSERT_GT(text1.width(), 10);
    EXPECT_EQ(text1.At(text1.width() - 3, text1.height() / 2), scrollbar) << "Text1 background";
    Snapshot text2(C(IDC_TEXT2));
    EXPECT_EQ(text2.At(text2.width() - 3, text2.height() / 2), window) << "other fields stay on the window colour";

    Snapshot line(C(IDC_LINE1));
    ASSERT_EQ(line.height(), 1);
    EXPECT_EQ(line.Count(border), static_cast<size_t>(line.width())) << "Line1 is the active border colour";

    // The banner box's background shows where no picture covers it.
    plat::SetPicture(C(IDC_PICTURE1), plat::UniqueBitmap());
    Snapshot empty(C(IDC_PICTURE1));
    EXPECT_EQ(empty.Count(window), static_cast<size_t>(empty.width() * empty.height()));
    plat::SetPicture(C(IDC_PICTURE1), LoadBanner());
}

TEST_F(MainWindowLook, BannerIsDrawnUnscaledFromTheTopLeftAndCutOff) {
    HBITMAP picture = plat::PictureOf(C(IDC_PICTURE1));
    ASSERT_NE(picture, nullptr) << "the embedded JPEG decodes";
    BITMAP bm{};
    ASSERT_TRUE(GetObjectW(picture, sizeof(bm), &bm));
    EXPECT_EQ(bm.bmWidth, 308);
    EXPECT_EQ(bm.bmHeight, 99);

    // Inside the sunken edge the box is smaller than the picture.
    RECT client{};
    GetClientRect(C(IDC_PICTURE1), &client);
    EXPECT_LT(client.right, 308);
    EXPECT_LT(client.bottom, 99);

    // Pixel for pixel the picture's own top-left part: not scaled.
    Snapshot shown(C(IDC_PICTURE1));
    plat::UniqueMemDC mem(CreateCompatibleDC(nullptr));
    plat::SelectObjectScope keep(mem.get(), picture);
    int same = 0, total = 0;
    for (int y = 0; y < shown.height(); y += 3)
        for (int x = 0; x < shown.width(); x += 3, ++total) same += shown.At(x, y) == GetPixel(mem.get(), x, y);
    EXPECT_EQ(same, total);
    // Blue dominates the background.
    COLORREF corner = shown.At(2, 2);
    EXPECT_GT(GetBValue(corner), GetRValue(corner) + 60);
}

TEST(PictureDecoding, BadBytesGiveAnEmptyPictureNotACrash) {
    const unsigned char junk[] = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0, 1, 2, 3};
    EXPECT_FALSE(plat::DecodePicture(junk, sizeof(junk)));
    EXPECT_FALSE(plat::DecodePicture(nullptr, 0));
    EXPECT_FALSE(plat::DecodePicture("not a picture at all", 20));
    EXPECT_FALSE(plat::LoadPictureResource(GetModuleHandleW(nullptr), 9999));
    // A box given nothing paints its background and keeps going.
    HWND parent = CreateWindowExW(0, L"Static", L"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
    HWND box = plat::CreatePictureBox(parent, {0, 0, 600, 600}, 0, 1);
    ASSERT_NE(box, nullptr);
    plat::SetPicture(box, plat::DecodePicture(junk, sizeof(junk)));
    EXPECT_EQ(plat::PictureOf(box), nullptr);
    Snapshot s(box);
    EXPECT_EQ(s.At(5, 5), GetSysColor(COLOR_WINDOW));
    DestroyWindow(parent);
}

TEST_F(MainWindowLook, WindowIconHasNineImages) {
    EXPECT_NE(SendMessageW(hwnd_, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(hwnd_, WM_GETICON, ICON_SMALL, 0), 0);

    HMODULE self = GetModuleHandleW(nullptr);
    HRSRC group = FindResourceW(self, MAKEINTRESOURCEW(IDI_VORNADEL), RT_GROUP_ICON);
    ASSERT_NE(group, nullptr);
    const auto* bytes = static_cast<const BYTE*>(LockResource(LoadResource(self, group)));
    ASSERT_NE(bytes, nullptr);
    // GRPICONDIR: reserved, type 1, count; then 14-byte entries.
    const WORD count = *reinterpret_cast<const WORD*>(bytes + 4);
    ASSERT_EQ(count, 9);
    std::multimap<int, int> images;  // size -> bits per pixel
    for (int i = 0; i < count; ++i) {
        const BYTE* e = bytes + 6 + 14 * i;
        const int size = e[0], bpp = *reinterpret_cast<const WORD*>(e + 6);
        images.emplace(size, bpp);
        // Each image on its own makes an icon of its size.
        const WORD imageId = *reinterpret_cast<const WORD*>(e + 12);
        HRSRC image = FindResourceW(self, MAKEINTRESOURCEW(imageId), RT_ICON);
        ASSERT_NE(image, nullptr);
        plat::UniqueIcon icon(CreateIconFromResourceEx(static_cast<BYTE*>(LockResource(LoadResource(self, image))),
                                                       SizeofResource(self, image), TRUE, 0x00030000, size, size,
                                                       LR_DEFAULTCOLOR));
        EXPECT_TRUE(icon) << size << "x" << size << " at " << bpp << " bpp";
    }
    for (int size : {48, 32, 16}) {
        std::vector<int> depths;
        for (auto [it, end] = images.equal_range(size); it != end; ++it) depths.push_back(it->second);
        std::sort(depths.begin(), depths.end());
        EXPECT_EQ(depths, (std::vector<int>{4, 8, 32})) << size;
    }
}

TEST_F(MainWindowLook, TooltipsOnTheThreeFieldsAndCheck1Only) {
    HWND tip = form_->ToolTip();
    ASSERT_NE(tip, nullptr);
    EXPECT_EQ(ClassOf(tip), TOOLTIPS_CLASSW);
    const int count = static_cast<int>(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
    EXPECT_EQ(count, 4);
    std::map<int, std::wstring> tips;
    for (int i = 0; i < count; ++i) {
        wchar_t text[512] = {};
        TTTOOLINFOW ti{};
        ti.cbSize = TTTOOLINFOW_V2_SIZE;
        ti.lpszText = text;
        ASSERT_TRUE(SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&ti)));
        EXPECT_TRUE(ti.uFlags & TTF_IDISHWND);
        tips[GetDlgCtrlID(reinterpret_cast<HWND>(ti.uId))] = text;
    }
    const std::map<int, std::wstring> expected = {
        {IDC_TEXT1, L"在这里填写连接名称，也就是在网络连接里你创建网络拨号的那个连接名称，一般默认的是：宽带连接"},
        {IDC_TEXT2, L"请在此输入你的上网帐号！"},
        {IDC_TEXT3, L"请在此输入你的密码！"},
        {IDC_CHECK1, L"如需开机自动连接网络，请选择本项！"},
    };
    EXPECT_EQ(tips, expected);
}

TEST_F(MainWindowLook, PasswordShowsStarsAndHasNoInputMethod) {
    HWND text3 = C(IDC_TEXT3);
    EXPECT_TRUE(GetWindowLongW(text3, GWL_STYLE) & ES_PASSWORD);
    EXPECT_EQ(SendMessageW(text3, EM_GETPASSWORDCHAR, 0, 0), L'*');
    SetFocus(text3);
    for (wchar_t c : std::wstring(L"pa55 w")) SendMessageW(text3, WM_CHAR, c, 1);
    EXPECT_EQ(plat::WindowText(text3), L"pa55 w") << "the text itself is kept";
    // What is drawn: one star per character, as a plain field showing six stars.
    Rect r = RectInParent(text3);
    HWND stars = CreateWindowExW(WS_EX_CLIENTEDGE, L"Edit", L"******", WS_CHILD | ES_AUTOHSCROLL, r.left, r.top,
                                 r.width, r.height, Frame(), reinterpret_cast<HMENU>(999), nullptr, nullptr);
    ASSERT_NE(stars, nullptr);
    SendMessageW(stars, WM_SETFONT, SendMessageW(text3, WM_GETFONT, 0, 0), FALSE);
    SendMessageW(text3, EM_SETSEL, 0, 0);
    Snapshot shown(text3), expected(stars);
    DestroyWindow(stars);
    ASSERT_EQ(shown.width(), expected.width());
    int differ = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x) differ += shown.At(x, y) != expected.At(x, y);
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(ImmGetContext(text3), nullptr) << "input method switched off";
    HIMC other = ImmGetContext(C(IDC_TEXT2));
    if (other) ImmReleaseContext(C(IDC_TEXT2), other);
    for (int id : {IDC_TEXT1, IDC_TEXT2}) EXPECT_EQ(SendMessageW(C(id), EM_GETPASSWORDCHAR, 0, 0), 0) << id;
}

TEST_F(MainWindowLook, TabVisitsTheControlsInTheirOrder) {
    // Hidden flag fields never take part, whatever they hold.
    SetWindowTextW(C(IDC_TEXT4), L"1");
    SetWindowTextW(C(IDC_TEXT5), L"1");
    ASSERT_EQ(GetFocus(), C(IDC_COMMAND1));
    std::vector<int> visited;
    for (int i = 0; i < 20; ++i) {
        PressTab();
        visited.push_back(IdOf(GetFocus()));
    }
    const std::vector<int> cycle = {IDC_PICTURE1, IDC_COMMAND2, IDC_COMMAND3, IDC_TEXT3, IDC_TEXT2,
                                    IDC_TEXT1,    IDC_COMMAND4, IDC_CHECK1,   IDC_CHECK2, IDC_COMMAND1};
    std::vector<int> expected;
    for (int i = 0; i < 20; ++i) expected.push_back(cycle[i % cycle.size()]);
    EXPECT_EQ(visited, expected);

    // Backwards through the same ring.
    HWND back = GetNextDlgTabItem(hwnd_, C(IDC_COMMAND1), TRUE);
    EXPECT_EQ(IdOf(back), IDC_CHECK2);
    EXPECT_EQ(IdOf(GetNextDlgTabItem(hwnd_, C(IDC_TEXT3), TRUE)), IDC_COMMAND3);
}

TEST_F(MainWindowLook, HiddenFieldsNeverTakeTheFocus) {
    // A click on where they would be lands on the form, not on them.
    for (int id : {IDC_TEXT4, IDC_TEXT5}) {
        EXPECT_FALSE(IsWindowVisible(C(id)));
        EXPECT_FALSE(GetWindowLongW(C(id), GWL_STYLE) & WS_TABSTOP);
        Rect r = RectInParent(C(id));
        POINT pt{r.left + 5, r.top + 5};
        EXPECT_NE(ChildWindowFromPointEx(hwnd_, pt, CWP_SKIPINVISIBLE), C(id));
    }
    // Deactivating and activating again brings the focus back where it was.
    SetFocus(C(IDC_TEXT2));
    SendMessageW(hwnd_, WM_ACTIVATE, WA_INACTIVE, 0);
    SetFocus(nullptr);
    SendMessageW(hwnd_, WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(GetFocus(), C(IDC_TEXT2));
}

TEST_F(MainWindowLook, PictureBoxTakesTheFocusOnClick) {
    HWND picture = C(IDC_PICTURE1);
    EXPECT_TRUE(GetWindowLongW(picture, GWL_STYLE) & WS_TABSTOP);
    SendMessageW(picture, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10));
    SendMessageW(picture, WM_LBUTTONUP, 0, MAKELPARAM(10, 10));
    EXPECT_EQ(GetFocus(), picture);
}

TEST_F(MainWindowLook, PopupMenuCaptionsInOrder) {
    HMENU menu = form_->PopupMenu();
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(GetMenuItemCount(menu), 7);
    const struct {
        UINT id;
        const wchar_t* caption;
    } items[] = {
        {IDM_SHOW, L"显示"},   {IDM_LJ, L"连接网络"},    {IDM_DK, L"断开网络"},      {IDM_UPDATE, L"软件升级"},
        {IDM_ABOUT, L"关于程序"}, {0, nullptr /* mSep1 */}, {IDM_EXIT, L"退出Vornadel"},
    };
    for (int i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        wchar_t text[64] = {};
        MENUITEMINFOW mii{};
        mii.cbSize = sizeof(mii);
        mii.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_SUBMENU;
        mii.dwTypeData = text;
        mii.cch = 64;
        ASSERT_TRUE(GetMenuItemInfoW(menu, i, TRUE, &mii));
        EXPECT_EQ(mii.hSubMenu, nullptr);
        if (!items[i].caption) {
            EXPECT_TRUE(mii.fType & MFT_SEPARATOR);
            continue;
        }
        EXPECT_EQ(mii.fState & (MFS_DISABLED | MFS_CHECKED), 0u);
        EXPECT_FALSE(mii.fType & MFT_SEPARATOR);
        EXPECT_EQ(mii.wID, items[i].id);
        EXPECT_STREQ(text, items[i].caption);
        EXPECT_EQ(std::wstring(text).find(L'&'), std::wstring::npos) << "no access keys";
    }
}

TEST(TrayIconFile, LoadsAtTheTraySize) {
    // Beside the program, as the tray module loads it.
    const std::wstring file = testing_support::TestBinFolder() + L"\\xptray.ico";
    plat::UniqueIcon icon(static_cast<HICON>(
        LoadImageW(nullptr, file.c_str(), IMAGE_ICON, 16, 16, LR_LOADFROMFILE | LR_LOADMAP3DCOLORS)));
    ASSERT_TRUE(icon);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(icon.get(), &info));
    plat::UniqueBitmap colour(info.hbmColor), mask(info.hbmMask);
    BITMAP bm{};
    ASSERT_TRUE(GetObjectW(colour.get(), sizeof(bm), &bm));
    EXPECT_EQ(bm.bmWidth, 16);
    EXPECT_EQ(bm.bmHeight, 16);
}
