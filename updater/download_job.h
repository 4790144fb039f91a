// One download of the new dialer: the request, then the body's reading,
// checking and saving on a worker thread of its own, so that the window that
// shows it never waits on the network.
#pragma once
#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "platform/app_messages.h"
#include "updater/signature.h"

namespace updater {

// How long the window waits for the worker to let go of the partial file.
constexpr DWORD kWorkerJoinLimitMs = 5000;
// A bigger download is refused: its announced length before anything is
// written, a body without one once it grows past this.
constexpr long long kMaxDownloadBytes = 64LL * 1024 * 1024;
// Once the body has started, fewer than kSlowBodyMinBytes in any
// kSlowBodyWindowMs end the transfer as timed out.
constexpr ULONGLONG kSlowBodyWindowMs = 30000;
constexpr long long kSlowBodyMinBytes = 4096;

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
    // worker. With a key, the signature at url + ".sig" must verify too, and
    // the program must be newer than installedProgram's version.
    // Progress and the end are posted to the window given to Start.
    bool Receive(const std::wstring& localPath, const std::optional<PublicKey>& publicKey,
                 const std::wstring& installedProgram);

    long long BytesSaved() const;
    // The announced length, -1 while unknown or without one.
    long long ExpectedLength() const;
    // Whether the progress notice was taken; the worker posts the next one only then.
    void ProgressSeen();

    struct Outcome {
        bool complete = false;
        std::wstring failureText;  // status line of a failed transfer
        Digest sha256{};           // of a complete download, as its checks read it
    };
    // Valid after kDownloadFinishedMessage.
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
