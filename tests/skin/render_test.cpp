// The four state images of a skinned button: nine-piece stretch of the
// template, caption, focus rectangle, resize, paint.
#include <algorithm>

#include "tests/skin/skin_fixture.h"

namespace skin_test {
namespace {

using RenderTest = SkinTest;
constexpr int kW = 65;
constexpr int kH = 25;

// Every pixel of every state image against the template cell feeding it:
// corners unchanged, edges repeating column 4, rows 5..15 stretched down
// the middle (row -1: only the first and last are certain). Below 8 x 10
// the corners overlap, later ones covering earlier ones, never mirrored.
TEST_F(RenderTest, NinePieceStretchOfEveryStateAndSize) {
    for (SIZE size : {SIZE{kW, kH}, SIZE{8, 10}, SIZE{6, 8}, SIZE{3, 4}, SIZE{8, 6}, SIZE{5, 10}}) {
        const int w = size.cx, h = size.cy;
        OneButton s(L"", w, h);
        for (int n = 0; n < 4; ++n)
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x) {
                    const int col = x >= w - 4 ? x - (w - 4) + 5 : x < 4 ? x : 4;
                    const int row = y >= h - 5 ? y - (h - 5) + 16 : y < 5 ? y : y == 5 ? 5 : y == h - 6 ? 15 : -1;
                    const COLORREF c = StatePixel(s.button, n, x, y);
                    bool match = row >= 0 && Tpl(n, col, row) == c;
                    for (int r = 5; row < 0 && r <= 15; ++r) match |= Tpl(n, col, r) == c;
                    EXPECT_TRUE(match) << w << "x" << h << " state " << n << " (" << x << ", " << y << ")";
                }
    }
    OneButton s(L"");
    for (int x = 4; x < kW - 4; ++x) {
        EXPECT_EQ(0xEED1ADu, StatePixel(s.button, 2, x, 5));
        EXPECT_EQ(0xFBF1E0u, StatePixel(s.button, 2, x, kH - 6));
    }
    // A paint shows the image of the current state.
    testing_support::PumpMessages(100);
    SetPropW(s.button, L"OLDSTATE", reinterpret_cast<HANDLE>(INT_PTR{2}));
    RedrawWindow(s.button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC screen = GetDC(s.button);
    EXPECT_EQ(0xEED1ADu, GetPixel(screen, 30, 5));
    EXPECT_EQ(0xFBF1E0u, GetPixel(screen, 30, kH - 6));
    ReleaseDC(s.button, screen);
}

int Brightness(COLORREF c) { return GetRValue(c) + GetGValue(c) + GetBValue(c); }

// Height of the caption's ink (far darker than any face) in the last three
// inked columns of the Normal image: an H is as high as the caption, the
// dots of an ellipsis are short.
int TailHeight(HWND b) {
    auto ink = [b](int x, int y) { return Brightness(StatePixel(b, 0, x, y)) < 550; };
    int right = 0, top = kH, bottom = 0;
    for (int x = 4; x < kW - 4; ++x)
        for (int y = 5; y < kH - 5; ++y) right = ink(x, y) ? x : right;
    for (int x = right - 2; x <= right; ++x)
        for (int y = 5; y < kH - 5; ++y)
            if (ink(x, y)) top = std::min(top, y), bottom = std::max(bottom, y);
    return bottom - top + 1;
}

TEST_F(RenderTest, CaptionColourPerStateAndEllipsis) {
    OneButton shorter(L"HHHH");
    OneButton longer(L"HHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHH");
    for (int n = 0; n < 4; ++n) {
        int darkest = 3 * 255;
        for (int y = 5; y < kH - 5; ++y)
            for (int x = 4; x < kW - 4; ++x)
                darkest = std::min(darkest, Brightness(StatePixel(shorter.button, n, x, y)));
        EXPECT_EQ(n == skin::Disabled ? 3 * 0x80 : 0, darkest) << "caption of state " << n;
    }
    EXPECT_GE(TailHeight(shorter.button), 6);
    EXPECT_LE(TailHeight(longer.button), 3);
}

TEST_F(RenderTest, FocusRectangleOnlyOnFocusedButton) {
    TestForm form;
    HWND one = AddButton(form.hwnd(), L"", 10, 10, kW, kH, 1), two = AddButton(form.hwnd(), L"", 10, 50, kW, kH, 2);
    SetFocus(form.hwnd());
    skin::SkinWindow(form.hwnd());
    // Pixels of all four images along the ring where the rectangle goes.
    auto ring = [](HWND b) {
        std::vector<COLORREF> pixels;
        for (int n = 0; n < 4; ++n) {
            for (int x = 2; x < kW - 2; ++x)
                pixels.insert(pixels.end(), {StatePixel(b, n, x, 2), StatePixel(b, n, x, kH - 3)});
            for (int y = 2; y < kH - 2; ++y)
                pixels.insert(pixels.end(), {StatePixel(b, n, 2, y), StatePixel(b, n, kW - 3, y)});
        }
        return pixels;
    };
    auto changed = [&](HWND b, const std::vector<COLORREF>& plain) {
        size_t count = 0, i = 0;
        for (COLORREF c : ring(b)) count += c != plain[i++];
        return count;
    };
    const auto plainOne = ring(one), plainTwo = ring(two);
    SetFocus(one);
    EXPECT_GT(changed(one, plainOne), plainOne.size() / 4) << "dotted rectangle on the focused button";
    EXPECT_EQ(0u, changed(two, plainTwo));
    SetFocus(two);
    EXPECT_GT(changed(two, plainTwo), plainTwo.size() / 4);
    EXPECT_EQ(0u, changed(one, plainOne)) << "the rectangle went away";
}

TEST_F(RenderTest, ResizeRedrawsTheImagesAndRegion) {
    OneButton s(L"Dial");
    const long live = skin::gdi::Live();
    SetWindowPos(s.button, nullptr, 0, 0, 90, 31, SWP_NOMOVE | SWP_NOZORDER);
    for (int n = 0; n < 4; ++n) EXPECT_EQ(Tpl(n, 8, 20), StatePixel(s.button, n, 89, 30)) << "bigger image " << n;
    EXPECT_EQ(live, skin::gdi::Live()) << "replaced bitmaps are freed";
    EXPECT_EQ(0b1110, RegionMask(s.button, {{0, 0}, {1, 1}, {89, 15}, {45, 30}}));
}

}  // namespace
}  // namespace skin_test
