// An HTTP GET over WinINet that behaves like the transfer control the
// download window was designed around: it starts at once, reports its
// progress as numbered states posted to a window, and hands out the body in
// pieces of at most a requested size.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/handles.h"

namespace updater {

// State numbers 1 to 12, posted to the window (in wParam of the message given
// to Execute).
enum TransferState : int {
    kStateResolving = 1,
    kStateResolved,
    kStateConnecting,
    kStateConnected,
    kStateRequesting,
    kStateRequestSent,
    kStateReceiving,
    kStateResponseReceived,
    kStateDisconnecting,
    kStateDisconnected,
    kStateError,
    kStateResponseCompleted,
};

// WinINet status callback code -> state number, 0 for codes without one.
int StateForInternetStatus(DWORD internetStatus);

constexpr DWORD kRequestTimeoutMs = 60000;

class HttpTransfer {
public:
    struct Shared;  // what the status callback may touch

    HttpTransfer();
    ~HttpTransfer();
    HttpTransfer(const HttpTransfer&) = delete;
    HttpTransfer& operator=(const HttpTransfer&) = delete;

    // Starts a GET of url and returns at once. Every state is posted to
    // window as message(wParam = state); with no window nothing is posted and
    // WaitForResponse tells when the response is in. Returns false when the
    // request could not even be started (bad URL, no WinINet).
    bool Execute(const std::wstring& url, HWND window, UINT message);

    enum class WaitResult { Arrived, Failed, Cancelled };
    // Blocks until the response's headers are in, the request failed, or
    // cancel is signalled.
    WaitResult WaitForResponse(HANDLE cancel);
    // WinINet's error behind a failed request (state 11), 0 when none.
    DWORD RequestError() const;

    // After state 12: the response's status code, 0 when unknown.
    DWORD StatusCode() const;
    // Value of a response header, empty when the response has none.
    std::wstring GetHeader(const std::wstring& name) const;

    enum class ChunkResult { Data, End, Failed, Cancelled, TimedOut };
    // Fills piece with the next bytes of the body, at most maxBytes and fewer
    // only at its end. End: the body is drained (piece is empty). Failed: the
    // connection broke or timed out. Blocks for at most the request time-out,
    // until deadline (a GetTickCount64 value, 0 for none: TimedOut), or until
    // cancel (may be null) is signalled. After TimedOut or Cancelled only
    // Close is left. Never on a window's thread.
    ChunkResult GetChunk(size_t maxBytes, std::vector<unsigned char>& piece, HANDLE cancel = nullptr,
                         ULONGLONG deadline = 0);

    // Stops the transfer and releases the connection; no state is posted after.
    void Close();

private:
    using InetHandle = plat::Unique<plat::NullHandleTraits<HINTERNET, ::InternetCloseHandle>>;

    ChunkResult FillBuffer(HANDLE cancel, ULONGLONG deadline);
    // Waits for the pending call's completion: Data when it succeeded.
    ChunkResult WaitForCompletion(HANDLE cancel, ULONGLONG deadline);

    Shared* shared_ = nullptr;  // freed once WinINet has let go of it
    InetHandle session_;
    InetHandle connection_;
    InetHandle request_;
    // Unread part of the last block read; the block itself is shared with
    // WinINet, which may still be filling it when a wait is given up.
    size_t bufferPos_ = 0;
    size_t bufferEnd_ = 0;
    bool drained_ = false;
};

}  // namespace updater
