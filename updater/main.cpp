#include <windows.h>

#include "platform/module_path.h"
#include "platform/window.h"
#include "updater/download_window.h"
#include "update_key.h"

// The address is fixed when the program is built.
#ifndef VORNADEL_UPDATE_URL
#error "VORNADEL_UPDATE_URL must name the update address"
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    plat::SetQuitWhenLastFormCloses(true);
    updater::DownloadOptions options;
    options.url = L"" VORNADEL_UPDATE_URL;
    options.programFolder = plat::ProgramFolder();
#ifdef VORNADEL_UPDATE_KEY_BYTES
    options.publicKey = updater::PublicKey{{VORNADEL_UPDATE_KEY_BYTES}};
#endif
    if (!updater::Form1::Create(options)) return 1;
    return plat::RunMessageLoop();
}
