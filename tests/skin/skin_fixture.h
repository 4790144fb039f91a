// Shared pieces of the skin engine tests: a test form, push buttons placed
// in pixels, and readers of window properties and state-image pixels.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/window.h"
#include "skin/MSkinButton.h"

namespace skin_test {

// A top-level window of the programs' form class that records the
// commands its children send.
class TestForm : public plat::Window {
public:
    explicit TestForm(int width = 320, int height = 240, bool visible = true);
    ~TestForm() override = default;
    HWND hwnd() const { return plat::Window::hwnd(); }

    struct Command {
        WORD id;
        WORD code;
        HWND from;
    };
    std::vector<Command> commands;
    // When set, a click of this id destroys the form from inside the click.
    int destroyOnClick = 0;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// A push button of the given size, placed in pixels, with the forms' font.
HWND AddButton(HWND parent, const wchar_t* caption, int x, int y, int w, int h, int id,
               DWORD type = BS_PUSHBUTTON, DWORD extraStyle = 0);
HWND AddChild(HWND parent, const wchar_t* cls, const wchar_t* text, DWORD style, DWORD exStyle, int x, int y,
              int w, int h, int id);

INT_PTR Prop(HWND hwnd, const wchar_t* name);
bool HasProp(HWND hwnd, const wchar_t* name);
HDC StateDC(HWND button, int state);
COLORREF StatePixel(HWND button, int state, int x, int y);
WNDPROC CurrentProc(HWND hwnd);

// Template colour at column x of band row r for a state.
COLORREF TemplateColour(int state, int x, int bandRow);

// Makes the form the active window (the activation-driven spread needs it).
bool Activate(HWND form);

// Every test starts and ends with the engine at rest.
class SkinTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace skin_test
