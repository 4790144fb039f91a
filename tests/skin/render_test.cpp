// The four state images of a skinned button: nine-piece stretch of the
// template, caption, focus rectangle, small sizes, resize.
#include <algorithm>
#include <set>
#include <vector>

#include "skin/gdi_objects.h"
#include "tests/skin/skin_fixture.h"
#include "tests/support/testing.h"

namespace skin_test {
namespace {

using RenderTest = SkinTest;

constexpr int kW = 65;
constexpr int kH = 25;

// Template column feeding image column x of a button W wide.
int SourceColumn(int x, int w) {
    if (x < 4) return x;
    if (x >= w - 4) return 5 + (x - (w - 4));
    return 4;
}

struct Ink {
    int left = 1 << 20, right = -1, top = 1 << 20, bottom = -1;
    int count = 0;
};

bool IsInk(COLORREF c, COLORREF face) {
    auto d = [](int a, int b) { return a > b ? a - b : b - a; };
    return d(GetRValue(c), GetRValue(face)) + d(GetGValue(c), GetGValue(face)) + d(GetBValue(c), GetBValue(face)) > 90;
}

// Pixels of the caption area that differ clearly from the blank face.
Ink FindInk(HWND button, int state, int w, int h) {
    Ink ink;
    for (int y = 5; y < h - 5; ++y)
        for (int x = 4; x < w - 4; ++x) {
            COLORREF face = skin_test::TemplateColour(state, 4, 5 + std::min(10, (y - 5) * 11 / std::max(1, h - 10)));
            if (!IsInk(StatePixel(button, state, x, y), face)) continue;
            ink.left = std::min(ink.left, x);
            ink.right = std::max(ink.right, x);
            ink.top = std::min(ink.top, y);
            ink.bottom = std::max(ink.bottom, y);
            ++ink.count;
        }
    return ink;
}

class Skinned {
public:
    explicit Skinned(const wchar_t* caption, int w = kW, int h = kH, DWORD extraStyle = 0)
        : form_(new TestForm) {
        button = AddButton(form_->hwnd(), caption, 10, 10, w, h, 1, BS_PUSHBUTTON, extraStyle);
        SetFocus(form_->hwnd());
        skin::SkinWindow(form_->hwnd());
    }
    HWND form() const { return form_->hwnd(); }
    HWND button;

private:
    std::unique_ptr<TestForm> form_;
};

TEST_F(RenderTest, FourImagesOfTheWindowSize) {
    Skinned s(L"Dial");
    static const wchar_t* const bmps[4] = {L"BMP0", L"BMP1", L"BMP2", L"BMP3"};
    std::set<INT_PTR> handles;
    for (int n = 0; n < 4; ++n) {
        HDC dc = StateDC(s.button, n);
        ASSERT_NE(nullptr, dc);
        HBITMAP bmp = reinterpret_cast<HBITMAP>(GetPropW(s.button, bmps[n]));
        ASSERT_NE(nullptr, bmp);
        EXPECT_EQ(bmp, GetCurrentObject(dc, OBJ_BITMAP)) << "BMP" << n << " is the one selected into HDC" << n;
        BITMAP info{};
        GetObjectW(bmp, sizeof(info), &info);
        EXPECT_EQ(kW, info.bmWidth);
        EXPECT_EQ(kH, info.bmHeight);
        handles.insert(reinterpret_cast<INT_PTR>(dc));
        handles.insert(reinterpret_cast<INT_PTR>(bmp));
    }
    EXPECT_EQ(8u, handles.size());
}

TEST_F(RenderTest, CornersEdgesAndCentreOfEveryState) {
    Skinned s(L"");
    for (int n = 0; n < 4; ++n) {
        SCOPED_TRACE(n);
        // Corners come over unchanged.
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 4; ++x) {
                EXPECT_EQ(TemplateColour(n, x, y), StatePixel(s.button, n, x, y));
                EXPECT_EQ(TemplateColour(n, 5 + x, y), StatePixel(s.button, n, kW - 4 + x, y));
                EXPECT_EQ(TemplateColour(n, x, 16 + y), StatePixel(s.button, n, x, kH - 5 + y));
                EXPECT_EQ(TemplateColour(n, 5 + x, 16 + y), StatePixel(s.button, n, kW - 4 + x, kH - 5 + y));
            }
        // Top and bottom edges: column 4 across the width.
        for (int x = 4; x < kW - 4; ++x)
            for (int y = 0; y < 5; ++y) {
                EXPECT_EQ(TemplateColour(n, 4, y), StatePixel(s.button, n, x, y));
                EXPECT_EQ(TemplateColour(n, 4, 16 + y), StatePixel(s.button, n, x, kH - 5 + y));
            }
        // Middle rows 5..15 stretched over the height: first and last rows
        // exact, every row one of the band's middle rows, in order.
        for (int x : {0, 1, 2, 3, 4, 30, 60, 61, 62, 63, 64}) {
            const int col = SourceColumn(x, kW);
            EXPECT_EQ(TemplateColour(n, col, 5), StatePixel(s.button, n, x, 5)) << x;
            EXPECT_EQ(TemplateColour(n, col, 15), StatePixel(s.button, n, x, kH - 6)) << x;
            int lastRow = 5;
            for (int y = 5; y < kH - 5; ++y) {
                COLORREF c = StatePixel(s.button, n, x, y);
                int row = -1;
                for (int r = lastRow; r <= 15 && row < 0; ++r)
                    if (TemplateColour(n, col, r) == c) row = r;
                EXPECT_GE(row, lastRow) << "x " << x << " y " << y;
                if (row >= 0) lastRow = row;
            }
        }
    }
}

TEST_F(RenderTest, PressedCentreRunsFromTopToBottomColour) {
    Skinned s(L"");
    for (int x = 4; x < kW - 4; ++x) {
        EXPECT_EQ(0xEED1ADu, StatePixel(s.button, 2, x, 5));
        EXPECT_EQ(0xFBF1E0u, StatePixel(s.button, 2, x, kH - 6));
    }
}

TEST_F(RenderTest, CaptionColourPerState) {
    Skinned s(L"HHHH");
    for (int n = 0; n < 4; ++n) {
        Ink ink = FindInk(s.button, n, kW, kH);
        ASSERT_GT(ink.count, 10) << "state " << n << " shows its caption";
        int darkest = 255 * 3;
        for (int y = ink.top; y <= ink.bottom; ++y)
            for (int x = ink.left; x <= ink.right; ++x) {
                COLORREF c = StatePixel(s.button, n, x, y);
                darkest = std::min(darkest, GetRValue(c) + GetGValue(c) + GetBValue(c));
            }
        if (n == 3)
            EXPECT_EQ(3 * 0x80, darkest) << "grey caption when disabled";
        else
            EXPECT_EQ(0, darkest) << "black caption in state " << n;
    }
}

TEST_F(RenderTest, CaptionCentredAndSameInEveryState) {
    Skinned s(L"HHHH");
    Ink first = FindInk(s.button, 0, kW, kH);
    const int leftGap = first.left - 2;
    const int rightGap = (kW - 3) - first.right;
    EXPECT_LE(std::abs(leftGap - rightGap), 2) << "centred across";
    const int topGap = first.top - 2;
    const int bottomGap = (kH - 3) - first.bottom;
    EXPECT_LE(std::abs(topGap - bottomGap), 4) << "centred down";
    for (int n = 1; n < 4; ++n) {
        Ink ink = FindInk(s.button, n, kW, kH);
        EXPECT_NEAR(first.left, ink.left, 1) << n;
        EXPECT_NEAR(first.top, ink.top, 1) << n;
        EXPECT_NEAR(first.right, ink.right, 1) << n;
        EXPECT_NEAR(first.bottom, ink.bottom, 1) << n;
    }
}

TEST_F(RenderTest, LongCaptionEndsWithEllipsis) {
    Skinned longer(L"HHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHHH");
    Skinned shorter(L"HHHH");
    Ink ink = FindInk(longer.button, 0, kW, kH);
    EXPECT_GE(ink.left, 2);
    EXPECT_LE(ink.right, kW - 3);
    // The last few ink columns: the dots of the ellipsis are short; an H
    // is as high as the caption.
    auto tailHeight = [](HWND b, int right) {
        int top = 1 << 20, bottom = -1;
        for (int x = right - 2; x <= right; ++x)
            for (int y = 5; y < kH - 5; ++y)
                if (IsInk(StatePixel(b, 0, x, y), TemplateColour(0, 4, 5 + (y - 5) * 11 / 15))) {
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        return bottom < 0 ? 0 : bottom - top + 1;
    };
    Ink shortInk = FindInk(shorter.button, 0, kW, kH);
    EXPECT_GE(tailHeight(shorter.button, shortInk.right), 6);
    EXPECT_LE(tailHeight(longer.button, ink.right), 3);
}

TEST_F(RenderTest, AmpersandUnderlinesNextCharacter) {
    Skinned plain(L"AB");
    Skinned mnemonic(L"&AB");
    Ink a = FindInk(plain.button, 0, kW, kH);
    Ink b = FindInk(mnemonic.button, 0, kW, kH);
    EXPECT_EQ(a.left, b.left) << "the ampersand itself is not drawn";
    EXPECT_EQ(a.right, b.right);
    EXPECT_GT(b.bottom, a.bottom) << "an underline below the caption";
    EXPECT_GT(b.count, a.count);
}

TEST_F(RenderTest, FocusRectangleOnlyOnFocusedButton) {
    TestForm form;
    HWND one = AddButton(form.hwnd(), L"", 10, 10, kW, kH, 1);
    HWND two = AddButton(form.hwnd(), L"", 10, 50, kW, kH, 2);
    SetFocus(form.hwnd());
    skin::SkinWindow(form.hwnd());

    auto ring = [](HWND b) {
        std::vector<COLORREF> pixels;
        for (int n = 0; n < 4; ++n) {
            for (int x = 2; x < kW - 2; ++x) {
                pixels.push_back(StatePixel(b, n, x, 2));
                pixels.push_back(StatePixel(b, n, x, kH - 3));
            }
            for (int y = 2; y < kH - 2; ++y) {
                pixels.push_back(StatePixel(b, n, 2, y));
                pixels.push_back(StatePixel(b, n, kW - 3, y));
            }
        }
        return pixels;
    };
    auto changed = [](const std::vector<COLORREF>& a, const std::vector<COLORREF>& b) {
        size_t n = 0;
        for (size_t i = 0; i < a.size(); ++i) n += a[i] != b[i];
        return n;
    };
    const auto plainOne = ring(one);
    const auto plainTwo = ring(two);

    SetFocus(one);
    EXPECT_GT(changed(plainOne, ring(one)), plainOne.size() / 4) << "dotted rectangle on the focused button";
    EXPECT_EQ(0u, changed(plainTwo, ring(two)));
    EXPECT_EQ(0, Prop(one, L"ALPHALEVEL"));
    EXPECT_NE(0, Prop(one, L"TIMERID"));

    SetFocus(two);
    EXPECT_EQ(0u, changed(plainOne, ring(one))) << "the rectangle moves away";
    EXPECT_GT(changed(plainTwo, ring(two)), plainTwo.size() / 4);
    EXPECT_NE(0, Prop(two, L"TIMERID"));
}

// Image of a button too small for edges: the corners only, drawn in the
// engine's order so later ones cover earlier ones.
COLORREF CornersOnly(int state, int x, int y, int w, int h) {
    COLORREF c = CLR_INVALID;
    struct Corner {
        int dx, dy, sx, sy;
    } corners[4] = {{0, 0, 0, 0}, {w - 4, 0, 5, 0}, {0, h - 5, 0, 16}, {w - 4, h - 5, 5, 16}};
    for (const Corner& k : corners)
        if (x >= k.dx && x < k.dx + 4 && y >= k.dy && y < k.dy + 5)
            c = TemplateColour(state, k.sx + (x - k.dx), k.sy + (y - k.dy));
    return c;
}

TEST_F(RenderTest, EightByTenButtonHasNoEdgesOrCentre) {
    Skinned s(L"", 8, 10);
    for (int n = 0; n < 4; ++n)
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 8; ++x)
                EXPECT_EQ(CornersOnly(n, x, y, 8, 10), StatePixel(s.button, n, x, y))
                    << "state " << n << " (" << x << ", " << y << ")";
}

TEST_F(RenderTest, ButtonsSmallerThanEightByTenShowOverlappingCorners) {
    for (SIZE size : {SIZE{6, 8}, SIZE{3, 4}, SIZE{8, 6}, SIZE{5, 10}}) {
        Skinned s(L"", size.cx, size.cy);
        ASSERT_EQ(1, skin::SkinnedButtonCount());
        for (int n = 0; n < 4; ++n)
            for (int y = 0; y < size.cy; ++y)
                for (int x = 0; x < size.cx; ++x)
                    EXPECT_EQ(CornersOnly(n, x, y, size.cx, size.cy), StatePixel(s.button, n, x, y))
                        << size.cx << "x" << size.cy << " state " << n << " (" << x << ", " << y << ")";
    }
}

TEST_F(RenderTest, ResizeRebuildsBitmapsAndRegion) {
    Skinned s(L"Dial");
    HBITMAP oldBmp = reinterpret_cast<HBITMAP>(GetPropW(s.button, L"BMP2"));
    HDC dc2 = StateDC(s.button, 2);
    const long live = skin::gdi::Live();
    SetWindowPos(s.button, nullptr, 0, 0, 90, 31, SWP_NOMOVE | SWP_NOZORDER);

    HBITMAP newBmp = reinterpret_cast<HBITMAP>(GetPropW(s.button, L"BMP2"));
    EXPECT_NE(oldBmp, newBmp);
    EXPECT_EQ(dc2, StateDC(s.button, 2)) << "the DCs stay";
    EXPECT_EQ(newBmp, GetCurrentObject(dc2, OBJ_BITMAP));
    BITMAP info{};
    GetObjectW(newBmp, sizeof(info), &info);
    EXPECT_EQ(90, info.bmWidth);
    EXPECT_EQ(31, info.bmHeight);
    EXPECT_EQ(live, skin::gdi::Live()) << "replaced bitmaps are freed";
    for (int n = 0; n < 4; ++n) {
        EXPECT_EQ(TemplateColour(n, 8, 20), StatePixel(s.button, n, 89, 30));
        EXPECT_EQ(TemplateColour(n, 4, 15), StatePixel(s.button, n, 45, 25));
    }
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, GetWindowRgn(s.button, rgn));
    RECT box;
    GetRgnBox(rgn, &box);
    EXPECT_GE(box.right, 89);
    EXPECT_GE(box.bottom, 30);
    EXPECT_FALSE(PtInRegion(rgn, 0, 0)) << "rounded corner";
    EXPECT_TRUE(PtInRegion(rgn, 45, 15));
    DeleteObject(rgn);
}

TEST_F(RenderTest, DisabledAtAttachStartsDisabledAndEnablesAtOnce) {
    Skinned s(L"Dial", kW, kH, WS_DISABLED);
    EXPECT_EQ(skin::Disabled, Prop(s.button, L"OLDSTATE"));
    const auto before = skin::gdi::Snapshot();
    EnableWindow(s.button, TRUE);
    const auto after = skin::gdi::Snapshot();
    EXPECT_EQ(skin::Normal, Prop(s.button, L"OLDSTATE"));
    EXPECT_EQ(0, Prop(s.button, L"TIMERID")) << "no fade";
    EXPECT_EQ(before.blends, after.blends);
    EXPECT_GE(after.blits, before.blits + 1) << "the Normal image is copied at once";
    EnableWindow(s.button, FALSE);
    EXPECT_EQ(skin::Disabled, Prop(s.button, L"OLDSTATE"));
    EXPECT_EQ(0, Prop(s.button, L"TIMERID"));
}

TEST_F(RenderTest, PaintIsOneCopyAndFadeStepOneBlend) {
    Skinned s(L"Dial");
    testing_support::PumpMessages(50);
    auto before = skin::gdi::Snapshot();
    InvalidateRect(s.button, nullptr, FALSE);
    UpdateWindow(s.button);
    auto after = skin::gdi::Snapshot();
    EXPECT_EQ(1, after.blits - before.blits);
    EXPECT_EQ(0, after.blends - before.blends);
    EXPECT_EQ(0, after.created - before.created);

    before = after;
    SendMessageW(s.button, WM_TIMER, 1, 0);
    after = skin::gdi::Snapshot();
    EXPECT_EQ(0, after.blits - before.blits);
    EXPECT_EQ(1, after.blends - before.blends);
    EXPECT_EQ(0, after.created - before.created);
}

TEST_F(RenderTest, PaintShowsTheCurrentStateOnScreen) {
    Skinned s(L"");
    testing_support::PumpMessages(100);
    SetPropW(s.button, L"OLDSTATE", reinterpret_cast<HANDLE>(INT_PTR{2}));
    RedrawWindow(s.button, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    HDC screen = GetDC(s.button);
    EXPECT_EQ(0xEED1ADu, GetPixel(screen, 30, 5));
    EXPECT_EQ(0xFBF1E0u, GetPixel(screen, 30, kH - 6));
    ReleaseDC(s.button, screen);
}

TEST_F(RenderTest, ChangedCaptionShowsAfterNextRender) {
    Skinned s(L"");
    SetWindowTextW(s.button, L"HHHH");
    EXPECT_EQ(0, FindInk(s.button, 0, kW, kH).count) << "no reaction to WM_SETTEXT";
    SetFocus(s.button);
    EXPECT_GT(FindInk(s.button, 0, kW, kH).count, 10);
}

}  // namespace
}  // namespace skin_test
