// Form1 of the updater: fetches the new dialer executable into the download
// folder, shows the transfer's state and progress, then opens the install
// window.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "platform/window.h"
#include "updater/download_job.h"
#include "updater/http_transfer.h"
#include "updater/signature.h"

namespace updater {

enum DownloadControlId : int {
    IDC_PROGRESSBAR1 = 101,
    IDC_LABEL1,
    IDC_LABEL2,
    IDC_LABEL3,
    IDC_TEXT1,
    IDC_TEXT2,
    IDC_COMMAND2,
};

// Transfer states arrive as this message, the state number in wParam.
constexpr UINT WM_INET1_STATECHANGED = WM_APP + 1;

extern const wchar_t kUpdaterCaption[];
extern const wchar_t kTextDownloadDone[];
extern const wchar_t kTextCommunicationError[];
extern const wchar_t kTextCannotSave[];
extern const wchar_t kTextBadCertificate[];

struct DownloadOptions {
    std::wstring url;            // design text of Text1
    std::wstring programFolder;  // the updater's own folder
    bool showInstallWindow = true;
    // The publisher's key; without one the download is installed unsigned.
    // (Stated, so that brace-initialised options need not name it under -Wextra.)
    std::optional<PublicKey> publicKey = std::nullopt;
};

class Form1 : public plat::Window {
public:
    // Creates and shows the window; its load handler starts the download.
    // The window owns the object.
    static Form1* Create(const DownloadOptions& options);

    enum class Outcome { Running, Complete, Failed };
    Outcome outcome() const { return outcome_; }

    HWND Control(int id) const { return GetDlgItem(hwnd(), id); }
    std::wstring Text(int id) const;

    // File name a URL's download is saved under: what follows its last "/".
    static std::wstring FileNameOfUrl(const std::wstring& url);

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnFinalMessage() override;

private:
    explicit Form1(const DownloadOptions& options) : options_(options) {}
    bool CreateControls();

    void Form_Load();
    void StartDownload(const std::wstring& url);
    void Inet1_StateChanged(int State);
    void Command2_Click();

    void ShowProgress();
    void FinishDownload();
    void Fail(const std::wstring& statusText);
    void SetStatus(const std::wstring& text);

    DownloadOptions options_;
    // The transfer, its body read and saved off this window's thread.
    DownloadJob Inet1_;
    Outcome outcome_ = Outcome::Running;
    bool rangeSet_ = false;
};

}  // namespace updater
