// A window object behind one window procedure: `this` is stored at
// WM_NCCREATE and every message goes to HandleMessage.
#pragma once
#include <windows.h>

#include <memory>

namespace plat {

struct CreateContext;

class Window {
public:
    Window() = default;
    virtual ~Window();
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    HWND hwnd() const noexcept { return hwnd_; }

    // The object behind a window created by this class, or null.
    static Window* FromHandle(HWND hwnd);

    // Open around a modal loop a handler of this window runs (popup menu,
    // message box). A WM_CLOSE that arrives inside the loop would destroy the
    // object under the handler's feet; it is held back and sent again once
    // the outermost scope has ended, from the message loop. A menu is ended
    // at once so the close is not kept waiting.
    class ModalScope {
    public:
        enum Kind { Dialog, Menu };
        ModalScope(Window& window, Kind kind);
        ~ModalScope();
        ModalScope(const ModalScope&) = delete;
        ModalScope& operator=(const ModalScope&) = delete;

    private:
        HWND hwnd_;
        Kind kind_;
    };

    // A top-level form: caption, styles and outer rectangle in pixels.
    struct FormSpec {
        const wchar_t* caption;
        DWORD style;
        DWORD exStyle;
        RECT outer;
    };

protected:
    // Creates a form for an object the window is to own. From WM_NCCREATE on
    // the window deletes the object when it ends, also when its creation
    // fails later (OnCreate answering false); before that the object is
    // freed here. Null when there is no window: the object is gone either way.
    static Window* OpenForm(std::unique_ptr<Window> object, const FormSpec& shape);
    // Creates a form for an object someone else owns (tests' forms).
    bool CreateForm(const wchar_t* caption, DWORD style, DWORD exStyle, int x, int y, int w, int h);

    // Controls and the like, while the window is being created; false ends it.
    virtual bool OnCreate() { return true; }

    virtual LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
    LRESULT Default(UINT msg, WPARAM wParam, LPARAM lParam);

    // Last message the window sees; the handle is already invalid for the OS.
    virtual void OnFinalMessage() {}

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    static HWND CreateFormWindow(const FormSpec& shape, CreateContext& context);
    HWND hwnd_ = nullptr;
    bool ownedByWindow_ = false;
    int modalDepth_ = 0;
    int menuDepth_ = 0;
    bool closeHeldBack_ = false;
};

// Registers a window class of this program once; true when it is available.
// background is a system colour index + 1, or 0 for none.
bool EnsureWindowClass(const wchar_t* name, WNDPROC proc, int background, int wndExtra = 0, UINT style = 0);

// A window timer with an on/off switch: switching on a running timer keeps
// its interval going instead of restarting it.
class WindowTimer {
public:
    WindowTimer(UINT_PTR id, UINT interval) : id_(id), interval_(interval) {}
    void SetEnabled(HWND hwnd, bool on);
    bool Enabled() const { return enabled_; }
    UINT_PTR id() const { return id_; }

private:
    UINT_PTR id_;
    UINT interval_;
    bool enabled_ = false;
};

// Gives a window the program's icon resource in the title-bar and Alt+Tab
// sizes. The icons are shared with the module: nothing to free.
void SetWindowIcons(HWND hwnd, int iconResourceId);

// Class name of every top-level form of the programs.
extern const wchar_t kFormClassName[];

// The process ends (WM_QUIT) when the last form has gone; off for tests,
// which create and destroy forms in one thread.
void SetQuitWhenLastFormCloses(bool on);
int OpenFormCount();

// Message loop with dialog keyboard handling (Tab, arrow keys) for the forms.
int RunMessageLoop();

}  // namespace plat
