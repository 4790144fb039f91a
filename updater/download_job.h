// One download of the new dialer: the request, then the body's reading,
// checking and saving on a worker thread of its own, so that the window that
// shows it never waits on the network.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "updater/signature.h"

namespace updater {

// Posted by the worker: bytes saved so far (read them with BytesSaved), and
// the end of the transfer (read the result with Result).
constexpr UINT WM_DOWNLOAD_PROGRESS = WM_APP + 2;
constexpr UINT WM_DOWNLOAD_FINISHED = WM_APP + 3;

// How long the window waits for the worker to let go of the partial file.
constexpr DWORD kWorkerJoinLimitMs = 5000;

class DownloadJob {
public:
    struct Shared;  // what the worker thread holds

    DownloadJob();
    ~DownloadJob();  // Cancel()
    DownloadJob(const DownloadJob&) = delete;
    DownloadJob& operator=(const DownloadJob&) = delete;

    // Starts the GET; its states are posted to window as stateMessage, and
    // state 12 means Receive may be called. False when it could not start.
    bool Start(const std::wstring& url, HWND window, UINT stateMessage);

    // Receives the body into localPath (through localPath + ".part") on the
    // worker; with a key, the signature at url + ".sig" must verify too.
    // Progress and the end are posted to the window given to Start.
    bool Receive(const std::wstring& localPath, const std::optional<PublicKey>& publicKey);

    long long BytesSaved() const;
    // The announced length, -1 while unknown or without one.
    long long ExpectedLength() const;
    // Whether the progress notice was taken; the worker posts the next one only then.
    void ProgressSeen();

    struct Outcome {
        bool complete = false;
        std::wstring failureText;  // status line of a failed transfer
    };
    // Valid after WM_DOWNLOAD_FINISHED.
    Outcome Result() const;
    // After a complete outcome: gives the checked file its real name,
    // replacing an older download.
    bool Commit();

    // WinINet's error behind a request that failed before its body.
    DWORD RequestError() const;

    // Ends the transfer: a running worker is told to stop and waited for (at
    // most kWorkerJoinLimitMs); no partial file stays behind.
    void Cancel();

private:
    std::shared_ptr<Shared> shared_;
    std::wstring url_;
};

// Certificate problems WinINet reports for an https:// address.
bool IsCertificateError(DWORD internetError);

}  // namespace updater
