#include "dialer/about_window.h"

#include "platform/units.h"
#include "platform/window.h"

namespace dialer {

namespace {

constexpr int kClientLeft = 5115, kClientTop = 2805, kClientWidth = 3720, kClientHeight = 1905;
constexpr DWORD kStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

class abot : public plat::Window {
public:
    static abot* instance;

    static void Open() {
        if (instance && instance->hwnd()) {
            ShowWindow(instance->hwnd(), SW_SHOWNORMAL);
            SetForegroundWindow(instance->hwnd());
            return;
        }
        auto* w = new abot();
        RECT r = plat::OuterRectForClient(plat::TwipsToPixelsX(kClientLeft), plat::TwipsToPixelsY(kClientTop),
                                          plat::TwipsToPixelsX(kClientWidth), plat::TwipsToPixelsY(kClientHeight),
                                          kStyle, 0);
        if (!w->CreateForm(L"关于 ... ...", kStyle, 0, r.left, r.top, r.right - r.left, r.bottom - r.top)) {
            delete w;
            return;
        }
        instance = w;
        ShowWindow(w->hwnd(), SW_SHOWNORMAL);
    }

protected:
    void OnFinalMessage() override {
        if (instance == this) instance = nullptr;
        delete this;
    }
};

abot* abot::instance = nullptr;

}  // namespace

void ShowAboutWindow() { abot::Open(); }
HWND AboutWindowHandle() { return abot::instance ? abot::instance->hwnd() : nullptr; }

}  // namespace dialer
