// The skin template: built pixel by pixel, released with the last window,
// built again the same.
#include <vector>

#include "skin/gdi_objects.h"
#include "tests/skin/skin_fixture.h"

namespace skin_test {
namespace {

using TemplateTest = SkinTest;

struct Sample {
    int x, y;
    COLORREF colour;
};

// A few cells per band, including the corners, the stretched column and
// the cells where the two halves are not mirror images.
const Sample kSamples[] = {
    {0, 0, 0xE6BA78},  {4, 10, 0xF9EAD7}, {8, 83, 0xD8D8D8},                     // named samples
    {3, 0, 0xD58F1B},  {2, 1, 0xFBF3E7},  {4, 15, 0xEDD5B8},  {0, 19, 0xE2B064},  // band 0
    {8, 19, 0xE1AF62}, {2, 18, 0xECD6BB}, {6, 18, 0xECD5BB},  {8, 20, 0xE4B670},
    {0, 21, 0xE6BA7A}, {4, 22, 0xFBC34C}, {4, 26, 0xFCF2E4},  {4, 36, 0xF1D7B7},  // band 1
    {6, 37, 0xF3D094}, {7, 37, 0xF8BB3E}, {0, 41, 0xE5BA78},
    {4, 47, 0xEED1AD}, {4, 57, 0xFBF1E0}, {1, 43, 0xE6A122},  {7, 43, 0xE6A123},  // band 2
    {6, 59, 0xFDE2AC}, {8, 61, 0xE1AF62},
    {0, 63, 0xDCDCDC}, {3, 63, 0xBFBFBF}, {4, 73, 0xEEEEEE},  {2, 81, 0xDEDEDE},  // band 3
    {1, 83, 0xD4D4D4},
};

std::vector<COLORREF> ReadAll(HDC dc) {
    std::vector<COLORREF> pixels;
    for (int y = 0; y < skin::kTemplateHeight; ++y)
        for (int x = 0; x < skin::kTemplateWidth; ++x) pixels.push_back(GetPixel(dc, x, y));
    return pixels;
}

TEST_F(TemplateTest, NotBuiltBeforeFirstSkinWindow) {
    EXPECT_FALSE(skin::EngineReady());
    EXPECT_EQ(nullptr, skin::SkinTemplateDC());
}

TEST_F(TemplateTest, SamplePixelsReadBackFromTemplateDC) {
    TestForm form;
    AddButton(form.hwnd(), L"OK", 10, 10, 65, 25, 1);
    skin::SkinWindow(form.hwnd());
    ASSERT_TRUE(skin::EngineReady());
    HDC dc = skin::SkinTemplateDC();
    ASSERT_NE(nullptr, dc);
    for (const Sample& s : kSamples)
        EXPECT_EQ(s.colour, GetPixel(dc, s.x, s.y)) << "pixel (" << s.x << ", " << s.y << ")";
}

TEST_F(TemplateTest, BandsHaveTheirOutlines) {
    TestForm form;
    skin::SkinWindow(form.hwnd());
    HDC dc = skin::SkinTemplateDC();
    for (int band = 0; band < 4; ++band) {
        const COLORREF outline = band == 3 ? 0xBFBFBF : 0xD58F1B;
        for (int row = 3; row <= 17; ++row) {
            EXPECT_EQ(outline, GetPixel(dc, 0, band * 21 + row)) << band << "," << row;
            EXPECT_EQ(outline, GetPixel(dc, 8, band * 21 + row)) << band << "," << row;
        }
        for (int x = 3; x <= 5; ++x) {
            EXPECT_EQ(outline, GetPixel(dc, x, band * 21)) << band << "," << x;
            EXPECT_EQ(outline, GetPixel(dc, x, band * 21 + 20)) << band << "," << x;
        }
    }
}

TEST_F(TemplateTest, TemplateBitmapIsNineByEightyFourInDisplayFormat) {
    TestForm form;
    skin::SkinWindow(form.hwnd());
    HBITMAP bitmap = static_cast<HBITMAP>(GetCurrentObject(skin::SkinTemplateDC(), OBJ_BITMAP));
    BITMAP info{};
    ASSERT_NE(0, GetObjectW(bitmap, sizeof(info), &info));
    EXPECT_EQ(9, info.bmWidth);
    EXPECT_EQ(84, info.bmHeight);
    HDC screen = GetDC(nullptr);
    EXPECT_EQ(GetDeviceCaps(screen, BITSPIXEL), info.bmBitsPixel * info.bmPlanes);
    ReleaseDC(nullptr, screen);
}

TEST_F(TemplateTest, ReleasedWithLastWindowAndRebuiltTheSame) {
    std::vector<COLORREF> before;
    HDC firstDC = nullptr;
    HBITMAP firstBitmap = nullptr;
    {
        TestForm form;
        AddButton(form.hwnd(), L"OK", 10, 10, 65, 25, 1);
        skin::SkinWindow(form.hwnd());
        firstDC = skin::SkinTemplateDC();
        firstBitmap = static_cast<HBITMAP>(GetCurrentObject(firstDC, OBJ_BITMAP));
        before = ReadAll(firstDC);
    }
    EXPECT_FALSE(skin::EngineReady());
    EXPECT_EQ(nullptr, skin::SkinTemplateDC());
    EXPECT_EQ(0u, GetObjectType(firstDC)) << "template DC still alive";
    EXPECT_EQ(0u, GetObjectType(firstBitmap)) << "template bitmap still alive";
    EXPECT_EQ(0, skin::gdi::Live());

    TestForm again;
    EXPECT_EQ(1, skin::SkinWindow(again.hwnd()));
    ASSERT_TRUE(skin::EngineReady());
    ASSERT_NE(nullptr, skin::SkinTemplateDC());
    std::vector<COLORREF> after = ReadAll(skin::SkinTemplateDC());
    EXPECT_EQ(before, after);
    for (const Sample& s : kSamples) EXPECT_EQ(s.colour, GetPixel(skin::SkinTemplateDC(), s.x, s.y));
}

TEST_F(TemplateTest, BuildingTwiceKeepsOneTemplate) {
    TestForm form;
    skin::SkinWindow(form.hwnd());
    HDC dc = skin::SkinTemplateDC();
    long live = skin::gdi::Live();
    skin::BuildSkinTemplate();
    EXPECT_EQ(dc, skin::SkinTemplateDC());
    EXPECT_EQ(live, skin::gdi::Live());
}

TEST_F(TemplateTest, SkinWindowOfAnyWindowInitialisesEngine) {
    HWND stat = CreateWindowExW(0, L"Static", L"x", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(0, skin::SkinWindow(stat));
    EXPECT_TRUE(skin::EngineReady());
    EXPECT_TRUE(skin::UseUser32Tracking());  // user32 exports TrackMouseEvent
    EXPECT_NE(nullptr, skin::SkinTemplateDC());
    EXPECT_FALSE(HasProp(stat, L"PROCADDR"));
    DestroyWindow(stat);
    EXPECT_EQ(0, skin::SkinWindow(nullptr));
}

TEST_F(TemplateTest, ExportExists) {
    EXPECT_TRUE(skin::ExportExists(L"User32", "TrackMouseEvent"));
    EXPECT_TRUE(skin::ExportExists(L"comctl32", "_TrackMouseEvent"));
    EXPECT_FALSE(skin::ExportExists(L"User32", "NoSuchExportAnywhere"));
    EXPECT_FALSE(skin::ExportExists(L"no_such_library_here", "TrackMouseEvent"));
    EXPECT_FALSE(skin::ExportExists(nullptr, "x"));
    // A library loaded only for the question is released again.
    ASSERT_EQ(nullptr, GetModuleHandleW(L"dciman32"));
    EXPECT_TRUE(skin::ExportExists(L"dciman32", "DCIOpenProvider"));
    EXPECT_EQ(nullptr, GetModuleHandleW(L"dciman32"));
    // One already loaded stays loaded.
    EXPECT_TRUE(skin::ExportExists(L"user32", "GetPropW"));
    EXPECT_NE(nullptr, GetModuleHandleW(L"user32"));
}

TEST_F(TemplateTest, WindowClassNameAndBox) {
    TestForm form;
    HWND button = AddButton(form.hwnd(), L"OK", 10, 12, 65, 25, 1);
    EXPECT_EQ(L"Form", skin::WindowClassName(form.hwnd()));
    EXPECT_EQ(L"Button", skin::WindowClassName(button));
    EXPECT_EQ(L"", skin::WindowClassName(nullptr));
    skin::WindowBox box = skin::GetWindowBox(button);
    RECT r;
    GetWindowRect(button, &r);
    EXPECT_EQ(r.left, box.Left);
    EXPECT_EQ(r.top, box.Top);
    EXPECT_EQ(r.right, box.Right);
    EXPECT_EQ(r.bottom, box.Bottom);
    EXPECT_EQ(65, box.Width);
    EXPECT_EQ(25, box.Height);
    DestroyWindow(button);
    EXPECT_EQ(L"", skin::WindowClassName(button));
}

}  // namespace
}  // namespace skin_test
