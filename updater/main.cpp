#include <windows.h>

#include "platform/module_path.h"
#include "platform/dpi.h"
#include "platform/window.h"
#include "updater/download_window.h"
#include "updater/single_instance.h"
#include "update_key.h"

// The address is fixed when the program is built.
#ifndef VORNADEL_UPDATE_URL
#error "VORNADEL_UPDATE_URL must name the update address"
#endif

#ifdef VORNADEL_UPDATE_KEY_BYTES
// One constant block, so that a release's key can be found in the program's bytes.
static const updater::PublicKey kPublisherKey = {{VORNADEL_UPDATE_KEY_BYTES}};
#endif

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before any window: a window made earlier keeps the old awareness.
    plat::DeclareDpiAwareness();
    // Before anything touches the download folder.
    const updater::SingleInstance instance;
    if (!instance.IsFirst()) {
        updater::SingleInstance::ShowRunningInstance();
        return 0;
    }
    plat::SetQuitWhenLastFormCloses(true);
    updater::DownloadOptions options;
    options.url = L"" VORNADEL_UPDATE_URL;
    options.programFolder = plat::ProgramFolder();
#ifdef VORNADEL_UPDATE_KEY_BYTES
    options.publicKey = kPublisherKey;
#endif
    if (!updater::DownloadWindow::Create(options)) return 1;
    return plat::RunMessageLoop();
}
