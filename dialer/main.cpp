#include <windows.h>

#include "dialer/main_window.h"
#include "dialer/single_instance.h"
#include "platform/window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    dialer::SingleInstance instance;
    if (!instance.IsFirst()) {
        instance.ShowRunningInstance();
        return 0;
    }
    plat::SetQuitWhenLastFormCloses(true);
    if (!dialer::Form1::Create()) return 1;
    return plat::RunMessageLoop();
}
