// DownloadWindow of the updater: fetches the new dialer executable into the download
// folder, shows the transfer's state and progress, then opens the install
// window.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "platform/app_messages.h"
#include "platform/dpi.h"
#include "platform/window.h"
#include "updater/download_job.h"
#include "updater/http_transfer.h"
#include "updater/signature.h"

namespace updater {

enum DownloadControlId : int {
    IDC_PROGRESS = 101,
    IDC_URL_LABEL,
    IDC_PATH_LABEL,
    IDC_STATUS,
    IDC_URL,
    IDC_LOCAL_PATH,
    IDC_CANCEL,
};

extern const wchar_t kUpdaterCaption[];
extern const wchar_t kTextDownloadDone[];
extern const wchar_t kTextCommunicationError[];
extern const wchar_t kTextCannotSave[];
extern const wchar_t kTextBadCertificate[];

struct DownloadOptions {
    std::wstring url;            // the address field's design text
    std::wstring programFolder;  // the updater's own folder
    bool showInstallWindow = true;
    // The publisher's key; without one the download is installed unsigned.
    // (Stated, so that brace-initialised options need not name it under -Wextra.)
    std::optional<PublicKey> publicKey = std::nullopt;
};

class DownloadWindow : public plat::Window {
public:
    // Creates and shows the window; its load handler starts the download.
    // The window owns the object.
    static DownloadWindow* Create(const DownloadOptions& options);

    enum class Outcome { Running, Complete, Failed };
    Outcome outcome() const { return outcome_; }

    HWND Control(int id) const { return GetDlgItem(hwnd(), id); }
    std::wstring Text(int id) const;

    // File name a URL's download is saved under: what follows its last "/".
    static std::wstring FileNameOfUrl(const std::wstring& url);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnCreate() override;

private:
    DownloadWindow(const DownloadOptions& options, int dpi) : options_(options), dpi_(dpi) {}
    bool CreateControls();

    void OnLoad();
    void StartDownload(const std::wstring& url);
    void OnTransferState(int state);
    void OnCancelClick();

    void ShowProgress();
    void FinishDownload();
    void Fail(const std::wstring& statusText);
    void SetStatus(const std::wstring& text);

    DownloadOptions options_;
    const int dpi_;  // the DPI it opens at
    plat::DpiLayout layout_;  // places, fonts and icons at the window's DPI
    // The transfer, its body read and saved off this window's thread. It
    // goes with the object, whose window deletes it: its worker lets go of
    // the partial file first, so the program never ends with one left behind.
    DownloadJob transfer_;
    // Fixed when the request starts; Text2 only shows it.
    std::wstring localPath_;
    Outcome outcome_ = Outcome::Running;
    bool rangeSet_ = false;
    // From the moment the install window is shown until it closes this one.
    bool installing_ = false;
};

}  // namespace updater
