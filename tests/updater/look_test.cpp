#include "tests/dialer/look_support.h"
#include "tests/updater/updater_test_support.h"
#include "updater/download_window.h"

using namespace look_testing;

TEST(UpdaterLook, DownloadWindowScalesWithTheDpiAndFollowsItsChanges) {
    plat::DeclareDpiAwareness();
    updater_test::TempProgramFolder folder;
    auto* form = updater::DownloadWindow::Create({L"http://127.0.0.1:1/refused/vornadel.exe", folder.path, false});
    ASSERT_NE(form, nullptr);
    HWND w = form->hwnd();
    HWND label = form->Control(updater::IDC_URL_LABEL);
    const Rect client = RectOf(w, true);  // only at the start: a faked change leaves Wine's frame as it is
    ExpectRect({0, 0, client[2], client[3]}, {0, 0, 371, 48});
    for (int dpi : {Dpi(), Dpi() == 144 ? 96 : 144, Dpi()}) {
        if (dpi != plat::LayoutDpiOf(w)) ChangeDpi(w, 371, 48, dpi);
        ExpectPlaces({{form->Control(updater::IDC_PROGRESS), {16, 8, 305, 17}},
                      {label, {136, 176, 57, 17}},
                      {form->Control(updater::IDC_CANCEL), {320, 232, 65, 33}}}, dpi);
        LOGFONTW lf{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(label, WM_GETFONT, 0, 0)), sizeof(lf), &lf);
        EXPECT_EQ(lf.lfHeight, At(-12, dpi)) << "9 pt at " << dpi << " DPI";
    }
    DestroyWindow(w);
}
