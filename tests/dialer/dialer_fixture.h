// A clean start for tests that open the dialer's main window in-process.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "dialer/main_window.h"
#include "dialer/tray.h"
#include "platform/text.h"
#include "tests/support/testing.h"

class DialerWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing_support::RemoveSettingsFile();
        testing_support::DeleteRunValue();
    }
    void TearDown() override {
        if (IsWindow(hwnd_)) DestroyWindow(hwnd_);
        testing_support::PumpMessages(20);
        testing_support::RemoveSettingsFile();
        testing_support::DeleteRunValue();
    }

    void StoreSettings(const std::string& body) {
        testing_support::WriteSettingsFileBytes("[Option]\r\n" + body);
    }

    dialer::MainWindow* Open() {
        form_ = dialer::MainWindow::Create();
        hwnd_ = form_ ? form_->hwnd() : nullptr;
        return form_;
    }

    std::wstring Text(int id) const { return plat::WindowText(form_->Control(id)); }
    bool Checked(int id) const { return SendMessageW(form_->Control(id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    // What a user's click on a button or check box does.
    void Click(int id) const { SendMessageW(form_->Control(id), BM_CLICK, 0, 0); }
    void TrayPress(UINT mouseMessage) const {
        SendMessageW(hwnd_, kTrayCallbackMessage, dialer::kTrayIconId, mouseMessage);
    }
    bool Shown() const { return IsWindowVisible(hwnd_) && !IsIconic(hwnd_); }

    testing_support::CommandRecord record_;
    dialer::MainWindow* form_ = nullptr;
    HWND hwnd_ = nullptr;
};
