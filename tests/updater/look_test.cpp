// The updater's windows at the display's DPI and after a change of DPI:
// client areas, control places, fonts, icons.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include "tests/dialer/look_support.h"
#include "tests/updater/updater_test_support.h"
#include "updater/download_window.h"
#include "updater/install_window.h"

using namespace updater_test;
using look_testing::At;
using look_testing::Dpi;

namespace {

// Client width and height; 96 DPI figures.
void ExpectClientSize(HWND hwnd, int w96, int h96, int dpi) {
    RECT r{};
    GetClientRect(hwnd, &r);
    look_testing::ExpectRect({0, 0, r.right, r.bottom}, {0, 0, w96, h96}, dpi);
}

}  // namespace

TEST(UpdaterLook, DownloadAndInstallWindowsScaleWithTheDpiAndFollowAChange) {
    plat::DeclareDpiAwareness();
    TempProgramFolder folder;
    // Refused at once: the window stays, showing what happened.
    auto* form = updater::DownloadWindow::Create({L"http://127.0.0.1:1/refused/vornadel.exe", folder.path, false});
    ASSERT_NE(form, nullptr);
    HWND w = form->hwnd();
    auto C = [form](int id) { return form->Control(id); };
    const std::vector<look_testing::Place> table = {
        {C(updater::IDC_PROGRESS), w, PROGRESS_CLASSW, {16, 8, 305, 17}, L"", true},
        {C(updater::IDC_URL), w, L"Edit", {8, 24, 353, 18}, L"http://127.0.0.1:1/refused/vornadel.exe", false},
        {C(updater::IDC_URL_LABEL), w, L"Static", {136, 176, 57, 17}, L"下载地址:", true},
        {C(updater::IDC_PATH_LABEL), w, L"Static", {136, 200, 57, 17}, L"保存路径:", true},
        {C(updater::IDC_CANCEL), w, L"Button", {320, 232, 65, 33}, L"取消下载", true},
    };
    const int start = Dpi();
    ExpectClientSize(w, 371, 48, start);
    look_testing::ExpectPlaces(table, start);
    look_testing::ExpectIconsAt(w, start);
    for (int id : {updater::IDC_URL_LABEL, updater::IDC_PATH_LABEL}) look_testing::ExpectTextFits(C(id));

    for (int dpi : {start == 144 ? 96 : 144, start}) {
        SCOPED_TRACE(dpi);
        look_testing::ChangeDpi(w, 371, 48, dpi);
        look_testing::ExpectPlaces(table, dpi);
        look_testing::ExpectIconsAt(w, dpi);
        LOGFONTW lf{};
        GetObjectW(reinterpret_cast<HFONT>(SendMessageW(C(updater::IDC_URL_LABEL), WM_GETFONT, 0, 0)), sizeof(lf), &lf);
        EXPECT_EQ(lf.lfHeight, At(-12, dpi)) << "9 pt";
    }
    DestroyWindow(w);

    // The never-seen install window: its tiny client area and its icons.
    auto* install = updater::InstallWindow::Create(nullptr, folder.File(L"download\\vornadel.exe"), folder.path);
    ASSERT_NE(install, nullptr);
    ExpectClientSize(install->hwnd(), 6, 6, start);
    look_testing::ExpectIconsAt(install->hwnd(), start);
    DestroyWindow(install->hwnd());
    testing_support::PumpMessages(50);
    EXPECT_EQ(plat::OpenFormCount(), 0);
}
