#include "platform/common_controls.h"

#include "platform/library.h"

namespace plat {

namespace {

// Kept for the process's life, as an import would be.
HMODULE CommonControls() {
    static const HMODULE library = LoadLibraryW(L"comctl32.dll");
    return library;
}

}  // namespace

bool InitCommonControlClasses(DWORD classes) {
    const auto init = LibraryFunction<BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*)>(CommonControls(),
                                                                                    "InitCommonControlsEx");
    const INITCOMMONCONTROLSEX icc{sizeof(icc), classes};
    return init && init(&icc);
}

bool TrackMouseEventOfCommonControls(TRACKMOUSEEVENT* track) {
    const auto trackMouse = LibraryFunction<BOOL(WINAPI*)(TRACKMOUSEEVENT*)>(CommonControls(), "_TrackMouseEvent");
    return trackMouse && trackMouse(track);
}

}  // namespace plat
