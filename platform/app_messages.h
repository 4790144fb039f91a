// The programs' private window messages, in one list so that no number
// means two things.
#pragma once
#include <windows.h>

enum AppMessage : UINT {
    // Dialer: a mouse action on the tray icon; lParam is the mouse message.
    kTrayCallbackMessage = WM_APP + 1,
    // Updater: a transfer state number (1-12) in wParam.
    kTransferStateMessage,
    // Updater: the download's worker has saved more of the body.
    kDownloadProgressMessage,
    // Updater: the download's worker has finished.
    kDownloadFinishedMessage,
    // Updater: the install step found the program's folder unwritable.
    kFolderNotWritableMessage,
};
