#pragma once
#include <gtest/gtest.h>

#include "dialer/about_window.h"
#include "dialer/commands.h"
#include "dialer/main_window.h"
#include "dialer/tray.h"
#include "platform/dpi.h"
#include "platform/system_settings.h"
#include "platform/text.h"
#include "tests/support/testing.h"

// A clean start: no settings file and no Run value left from before; Open() makes the main window in-process.
class Dialer : public ::testing::Test {
protected:
    void SetUp() override {
        plat::DeclareDpiAwareness();
        TearDown();
    }
    void TearDown() override {
        if (HWND about = dialer::AboutWindowHandle()) DestroyWindow(about);
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        testing_support::PumpMessages(20);
        EXPECT_EQ(dialer::AboutWindowHandle(), nullptr);
        dialer::SetShellNotifyIconFunction(nullptr);
        dialer::SetLinkStateQuery(nullptr);
        plat::SetHighContrastQuery(nullptr);
        plat::SetClientAreaAnimationQuery(nullptr);
        dialer::DialProcesses::SetTimeLimit(dialer::kDialTimeLimitMs);
        DeleteFileW((record_.path() + L".hang").c_str());
        testing_support::RemoveSettingsFile();
        testing_support::DeleteRunValue();
    }

    dialer::MainWindow* Open(const std::string& optionLines = "") {
        if (!optionLines.empty()) testing_support::WriteSettingsFileBytes("[Option]\r\n" + optionLines);
        form_ = dialer::MainWindow::Create();
        hwnd_ = form_ ? form_->hwnd() : nullptr;
        return form_;
    }

    HWND C(int id) const { return form_->Control(id); }
    std::wstring Text(int id) const { return plat::WindowText(C(id)); }
    bool Checked(int id) const { return SendMessageW(C(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void Click(int id) const { SendMessageW(C(id), BM_CLICK, 0, 0); }
    void Command(int id) const { SendMessageW(hwnd_, WM_COMMAND, id, 0); }
    void Tick(UINT_PTR timerId) const { SendMessageW(hwnd_, WM_TIMER, timerId, 0); }
    void TrayPress(UINT mouse) const { SendMessageW(hwnd_, kTrayCallbackMessage, dialer::kTrayIconId, mouse); }
    bool Shown() const { return IsWindowVisible(hwnd_) && !IsIconic(hwnd_); }
    static std::wstring Balloon() { return dialer::TrayData().szInfo; }

    testing_support::CommandRecord record_;
    dialer::MainWindow* form_ = nullptr;
    HWND hwnd_ = nullptr;
};

using Look = Dialer;  // the name the runs at other DPIs select
