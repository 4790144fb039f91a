#include "platform/window.h"

#include <algorithm>
#include <vector>

#include "platform/dpi.h"

namespace plat {

const wchar_t kFormClassName[] = L"Form";

namespace {

std::vector<HWND>& OpenForms() {
    static std::vector<HWND> forms;
    return forms;
}

bool g_quitWhenLastFormCloses = false;

}  // namespace

// Travels through CreateWindowEx to WM_NCCREATE, where an owned object
// passes to its window.
struct CreateContext {
    Window* window;
    bool owned;
    bool adopted = false;
};

bool EnsureWindowClass(const wchar_t* name, WNDPROC proc, int background, int wndExtra, UINT style) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    if (GetClassInfoExW(instance, name, &wc)) return true;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = wndExtra;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(background));
    wc.lpszClassName = name;
    return RegisterClassExW(&wc) != 0;
}

void SetWindowIcons(HWND hwnd, int iconResourceId) {
    // A form with a layout keeps its own icons at the sizes of its DPI.
    if (DpiLayout* layout = DpiLayout::Of(hwnd)) {
        layout->SetIcons(iconResourceId);
        return;
    }
    HINSTANCE module = GetModuleHandleW(nullptr);
    const struct {
        WPARAM which;
        int cx, cy;
    } sizes[] = {{ICON_BIG, SM_CXICON, SM_CYICON}, {ICON_SMALL, SM_CXSMICON, SM_CYSMICON}};
    for (const auto& s : sizes) {
        HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(iconResourceId), IMAGE_ICON, GetSystemMetrics(s.cx),
                                 GetSystemMetrics(s.cy), LR_SHARED);
        if (icon) SendMessageW(hwnd, WM_SETICON, s.which, reinterpret_cast<LPARAM>(icon));
    }
}

void WindowTimer::SetEnabled(HWND hwnd, bool on) {
    if (on == enabled_) return;
    enabled_ = on;
    if (on)
        SetTimer(hwnd, id_, interval_, nullptr);
    else
        KillTimer(hwnd, id_);
}

Window::~Window() {
    // An object that dies before its window must not be reached through it.
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

Window::ModalScope::ModalScope(Window& window, Kind kind) : hwnd_(window.hwnd()), kind_(kind) {
    ++window.modalDepth_;
    if (kind_ == Menu) ++window.menuDepth_;
}

Window::ModalScope::~ModalScope() {
    // Looked up again: the window may have gone some other way meanwhile.
    Window* window = FromHandle(hwnd_);
    if (!window || !IsWindow(hwnd_)) return;
    if (kind_ == Menu) --window->menuDepth_;
    if (--window->modalDepth_ > 0 || !window->closeHeldBack_) return;
    window->closeHeldBack_ = false;
    PostMessageW(hwnd_, WM_CLOSE, 0, 0);
}

Window* Window::FromHandle(HWND hwnd) {
    if (!hwnd) return nullptr;
    return reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
}

HWND Window::CreateFormWindow(const FormSpec& shape, CreateContext& context) {
    if (!EnsureWindowClass(kFormClassName, &Window::Proc, COLOR_BTNFACE + 1, 0, CS_DBLCLKS)) return nullptr;
    const RECT& r = shape.outer;
    return CreateWindowExW(shape.exStyle, kFormClassName, shape.caption, shape.style, r.left, r.top, r.right - r.left,
                           r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), &context);
}

Window* Window::OpenForm(std::unique_ptr<Window> object, const FormSpec& shape) {
    CreateContext context{object.get(), true};
    HWND hwnd = CreateFormWindow(shape, context);
    Window* window = object.get();
    // Adopted: the window has the object now, or has already deleted it.
    if (context.adopted) object.release();
    return hwnd ? window : nullptr;
}

bool Window::CreateForm(const wchar_t* caption, DWORD style, DWORD exStyle, int x, int y, int w, int h) {
    CreateContext context{this, false};
    return CreateFormWindow({caption, style, exStyle, {x, y, x + w, y + h}}, context) != nullptr;
}

LRESULT Window::Default(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

LRESULT Window::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return Default(msg, wParam, lParam); }

LRESULT CALLBACK Window::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* context = static_cast<CreateContext*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        Window* self = context->window;
        self->ownedByWindow_ = context->adopted = context->owned;
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        OpenForms().push_back(hwnd);
    }
    Window* self = FromHandle(hwnd);
    if (msg == WM_NCDESTROY) {
        auto& forms = OpenForms();
        forms.erase(std::remove(forms.begin(), forms.end(), hwnd), forms.end());
        LRESULT r = DefWindowProcW(hwnd, msg, wParam, lParam);
        if (self) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
            self->OnFinalMessage();
            if (self->ownedByWindow_) delete self;
        }
        if (forms.empty() && g_quitWhenLastFormCloses) PostQuitMessage(0);
        return r;
    }
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (msg == WM_CREATE) return self->OnCreate() ? self->HandleMessage(msg, wParam, lParam) : -1;
    if (msg == WM_CLOSE && self->modalDepth_ > 0) {
        self->closeHeldBack_ = true;
        if (self->menuDepth_ > 0) EndMenu();
        return 0;
    }
    return self->HandleMessage(msg, wParam, lParam);
}

void SetQuitWhenLastFormCloses(bool on) { g_quitWhenLastFormCloses = on; }
int OpenFormCount() { return static_cast<int>(OpenForms().size()); }

int RunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        const auto& forms = OpenForms();
        if (root && std::find(forms.begin(), forms.end(), root) != forms.end() && IsDialogMessageW(root, &msg))
            continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

}  // namespace plat
