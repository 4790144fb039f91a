#include <windows.h>

#include "dialer/main_window.h"
#include "dialer/single_instance.h"
#include "platform/dpi.h"
#include "platform/window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before any window: a window made earlier keeps the old awareness.
    plat::DeclareDpiAwareness();
    dialer::SingleInstance instance;
    if (!instance.IsFirst()) {
        instance.ShowRunningInstance();
        return 0;
    }
    plat::SetQuitWhenLastFormCloses(true);
    if (!dialer::MainWindow::Create(instance.Take())) return 1;
    return plat::RunMessageLoop();
}
