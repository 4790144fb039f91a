// MainWindow: the dialer's main window. It holds the connection settings in its
// fields, dials through rasdial, and lives mostly as a tray icon.
#pragma once
#include <windows.h>

#include <string>

#include "dialer/commands.h"
#include "platform/dpi.h"
#include "platform/handles.h"
#include "platform/window.h"

namespace dialer {

// Control and menu identifiers, also used by tests to find the controls.
enum ControlId : int {
    IDC_BANNER = 101,
    IDC_FIELDS_FRAME,
    IDC_AUTOSTART,
    IDC_AUTO_REDIAL,
    IDC_CONNECTION_NAME,
    IDC_ACCOUNT,
    IDC_PASSWORD,
    IDC_AUTOSTART_FLAG,
    IDC_REDIAL_FLAG,
    IDC_DIAL,
    IDC_DISCONNECT,
    IDC_ABOUT,
    IDC_UPDATE,
    IDC_CONNECTION_LABEL,
    IDC_ACCOUNT_LABEL,
    IDC_PASSWORD_LABEL,
    IDC_SEPARATOR,
};

enum MenuId : int {
    IDM_SHOW = 201,
    IDM_CONNECT,
    IDM_DISCONNECT,
    IDM_UPDATE,
    IDM_ABOUT,
    IDM_EXIT,
};

constexpr UINT_PTR kRedialTimerId = 1;
constexpr UINT kRedialInterval = 3000;
// Adding the tray icon is tried again this often, this many times, while the
// shell has no tray yet (at log-on).
constexpr UINT_PTR kTrayRetryTimerId = 2;
constexpr UINT kTrayRetryInterval = 1000;
constexpr int kTrayRetryCount = 120;
// While a dial of ours runs, its time limit is checked this often, whether
// or not auto re-dial is on.
constexpr UINT_PTR kDialWatchTimerId = 3;
constexpr UINT kDialWatchInterval = 1000;

// Posted to a running dialer's main window by a second start of the program:
// show yourself.
UINT ShowMainWindowMessage();

extern const wchar_t kMainCaption[];

class MainWindow : public plat::Window {
public:
    // Creates the window and its controls, runs OnLoad and shows the
    // window unless the start-up dial hid it. The window owns the object,
    // and the single-instance lock given, which it lets go when it unloads.
    static MainWindow* Create(plat::UniqueHandle instanceLock = {});

    HWND Control(int id) const;
    HMENU PopupMenu() const { return trayMenu_.get(); }
    // The tooltip control of the three fields and the start-with-Windows box.
    HWND ToolTip() const { return toolTip_; }
    bool RedialTimerEnabled() const { return redialTimer_.Enabled(); }
    bool DialWatchTimerEnabled() const { return dialWatchTimer_.Enabled(); }

    // Unloads the window as closing it does: saves and removes the tray icon.
    void Unload();

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCreate() override;

private:
    explicit MainWindow(int dpi) : dpi_(dpi) {}
    bool CreateControls();
    void BuildPopupMenu();
    void CreateToolTips();
    LRESULT OnCtlColor(UINT msg, HDC dc, HWND control);
    void OnActivate(WPARAM wParam);
    void RestoreFocus();
    void ShapeLabels();

    // Handlers of the buttons, boxes, menu items and timers.
    void OnLoad();
    void OnUnload();
    void OnResize(WPARAM sizeType);
    void OnTrayNotify(UINT mouseMessage);
    void OnDialClick();
    void OnDisconnectClick();
    void OnAboutClick();
    void OnUpdateClick();
    void OnAutostartClick();
    void OnAutoRedialClick();
    void OnRedialTimer();
    void OnDialWatchTimer();
    void OnEndSession(bool ending, LPARAM how);
    void OnShowClick();
    void OnExitClick() { Unload(); }

    void OnCommand(int id, int code);
    std::wstring Text(int id) const;
    void SetText(int id, const std::wstring& text);
    bool Checked(int id) const;
    // Setting a box from code runs its click handler when the state changes.
    void SetChecked(int id, bool on);
    void RestoreFromTray();
    void StartDial();
    void StopTimers();
    // Lets go of the tray icon and the single-instance lock: a new start
    // may take over from here.
    void LeaveTray();
    void StartTrayRetry();
    void OnTrayRetryTimer();
    void OnTrayIconShown();
    void ShowStartUpBalloon(const wchar_t* text);
    void OnFieldChange(int id);
    bool KeepStorableLength(int id);
    // Names of the fields the code page could not store, joined; empty when
    // all were stored as they are.
    std::wstring SaveConnectionFields();

    plat::UniqueMenu trayMenu_;
    const int dpi_;  // the DPI it opens at
    plat::DpiLayout layout_;  // places, fonts and icons at the window's DPI
    HWND toolTip_ = nullptr;  // owned by the window
    HWND lastFocus_ = nullptr;
    plat::WindowTimer redialTimer_{kRedialTimerId, kRedialInterval};
    bool unloaded_ = false;
    bool skinned_ = false;
    UINT taskbarCreatedMessage_ = 0;
    UINT showMainWindowMessage_ = 0;
    DialProcesses dials_;
    plat::WindowTimer trayRetryTimer_{kTrayRetryTimerId, kTrayRetryInterval};
    plat::WindowTimer dialWatchTimer_{kDialWatchTimerId, kDialWatchInterval};
    plat::UniqueHandle instanceLock_;
    int trayRetriesLeft_ = 0;
    // The start-up dial hides the window and shows its balloon only once
    // there is a tray icon to come back by.
    bool hideWhenTrayIconShown_ = false;
    const wchar_t* pendingBalloon_ = nullptr;
    // Per connection field: warned that it holds what the settings file cannot.
    bool unstorableWarned_[3] = {};
};

}  // namespace dialer
