#include <windows.h>

#include "dialer/main_window.h"
#include "platform/window.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    plat::SetQuitWhenLastFormCloses(true);
    if (!dialer::Form1::Create()) return 1;
    return plat::RunMessageLoop();
}
