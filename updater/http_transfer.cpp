#include "updater/http_transfer.h"

#include <algorithm>
#include <atomic>

#include "platform/handles.h"

namespace updater {

namespace {

// WinINet hands the body out in whatever amounts the socket delivers; reading
// it in larger blocks keeps the per-call cost of small pieces low.
constexpr DWORD kReadBlock = 64 * 1024;
// Our own bound on a wait, after WinINet's time-outs should have ended it.
constexpr DWORD kWaitLimitMs = kRequestTimeoutMs + 5000;

}  // namespace

// Everything WinINet's worker threads touch. It must outlive the last
// callback: the transfer and each open handle hold a reference, and a
// handle's reference goes with its closing notification, its last callback.
struct HttpTransfer::Shared {
    std::atomic<int> references{1};
    SRWLOCK lock = SRWLOCK_INIT;
    HWND window = nullptr;
    UINT message = 0;
    std::atomic<bool> responseArrived{false};
    plat::UniqueHandle asyncDone{CreateEventW(nullptr, FALSE, FALSE, nullptr)};
    // Set once the request itself has completed, well or not.
    plat::UniqueHandle responseDone{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    std::atomic<DWORD> requestError{0};
    HINTERNET request = nullptr;
    HINTERNET connection = nullptr;
    DWORD_PTR asyncResult = 0;
    DWORD asyncError = 0;
    DWORD available = 0;
    DWORD bytesRead = 0;
    std::vector<unsigned char> block = std::vector<unsigned char>(kReadBlock);

    void AddReference() { references.fetch_add(1); }
    void Release() {
        if (references.fetch_sub(1) == 1) delete this;
    }

    void Post(int state) {
        AcquireSRWLockShared(&lock);
        if (window && state) PostMessageW(window, message, static_cast<WPARAM>(state), 0);
        ReleaseSRWLockShared(&lock);
    }
};

int StateForInternetStatus(DWORD internetStatus) {
    switch (internetStatus) {
    case INTERNET_STATUS_RESOLVING_NAME: return kStateResolving;
    case INTERNET_STATUS_NAME_RESOLVED: return kStateResolved;
    case INTERNET_STATUS_CONNECTING_TO_SERVER: return kStateConnecting;
    case INTERNET_STATUS_CONNECTED_TO_SERVER: return kStateConnected;
    case INTERNET_STATUS_SENDING_REQUEST: return kStateRequesting;
    case INTERNET_STATUS_REQUEST_SENT: return kStateRequestSent;
    case INTERNET_STATUS_RECEIVING_RESPONSE: return kStateReceiving;
    case INTERNET_STATUS_RESPONSE_RECEIVED: return kStateResponseReceived;
    case INTERNET_STATUS_CLOSING_CONNECTION: return kStateDisconnecting;
    case INTERNET_STATUS_CONNECTION_CLOSED: return kStateDisconnected;
    default: return 0;
    }
}

namespace {

// Runs on WinINet's worker threads (and on ours for synchronous steps):
// it only records and posts, the window does the rest on its own thread.
void CALLBACK TransferStatusCallback(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info,
                                     DWORD infoLength) {
    auto* shared = reinterpret_cast<HttpTransfer::Shared*>(context);
    if (!shared) return;
    switch (status) {
    case INTERNET_STATUS_REQUEST_COMPLETE: {
        INTERNET_ASYNC_RESULT result{};
        if (info && infoLength >= sizeof(result)) result = *static_cast<INTERNET_ASYNC_RESULT*>(info);
        if (!shared->responseArrived.load()) {
            // The request itself: headers are in, the body can be read.
            if (result.dwResult) {
                shared->responseArrived.store(true);
                SetEvent(shared->responseDone.get());
                shared->Post(kStateResponseCompleted);
            } else {
                shared->requestError.store(result.dwError ? result.dwError : ERROR_INTERNET_INTERNAL_ERROR);
                SetEvent(shared->responseDone.get());
                shared->Post(kStateError);
            }
        } else {
            shared->asyncResult = result.dwResult;
            shared->asyncError = result.dwError;
            SetEvent(shared->asyncDone.get());
        }
        break;
    }
    case INTERNET_STATUS_HANDLE_CLOSING:
        if (handle && (handle == shared->request || handle == shared->connection)) shared->Release();
        break;
    case INTERNET_STATUS_RECEIVING_RESPONSE:
    case INTERNET_STATUS_RESPONSE_RECEIVED:
        // While the body is read these come with every block; the window has
        // already been told that the response is being received.
        if (!shared->responseArrived.load()) shared->Post(StateForInternetStatus(status));
        break;
    default:
        shared->Post(StateForInternetStatus(status));
        break;
    }
}

}  // namespace

HttpTransfer::HttpTransfer() = default;

HttpTransfer::~HttpTransfer() { Close(); }

bool HttpTransfer::Execute(const std::wstring& url, HWND window, UINT message) {
    Close();
    drained_ = false;

    std::wstring scheme(16, L'\0'), host(256, L'\0'), path(2048, L'\0'), extra(2048, L'\0');
    URL_COMPONENTSW parts{};
    parts.dwStructSize = sizeof(parts);
    parts.lpszScheme = scheme.data();
    parts.dwSchemeLength = static_cast<DWORD>(scheme.size());
    parts.lpszHostName = host.data();
    parts.dwHostNameLength = static_cast<DWORD>(host.size());
    parts.lpszUrlPath = path.data();
    parts.dwUrlPathLength = static_cast<DWORD>(path.size());
    parts.lpszExtraInfo = extra.data();
    parts.dwExtraInfoLength = static_cast<DWORD>(extra.size());
    if (url.empty() || !InternetCrackUrlW(url.c_str(), static_cast<DWORD>(url.size()), 0, &parts)) return false;
    host.resize(parts.dwHostNameLength);
    path.resize(parts.dwUrlPathLength);
    extra.resize(parts.dwExtraInfoLength);
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if ((parts.nScheme != INTERNET_SCHEME_HTTP && !secure) || host.empty()) return false;
    INTERNET_PORT port = parts.nPort;
    if (port == 0) port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    std::wstring object = path.empty() ? L"/" : path;
    object += extra;

    auto* shared = new Shared();
    if (!shared->asyncDone || !shared->responseDone) {
        shared->Release();
        return false;
    }
    shared->window = window;
    shared->message = message;
    shared_ = shared;

    session_.reset(InternetOpenW(L"Vornadel Update", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr,
                                 INTERNET_FLAG_ASYNC));
    if (!session_) {
        Close();
        return false;
    }
    DWORD timeout = kRequestTimeoutMs;
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                         INTERNET_OPTION_RECEIVE_TIMEOUT})
        InternetSetOptionW(session_.get(), option, &timeout, sizeof(timeout));
    if (InternetSetStatusCallbackW(session_.get(), TransferStatusCallback) == INTERNET_INVALID_STATUS_CALLBACK) {
        Close();
        return false;
    }
    const auto context = reinterpret_cast<DWORD_PTR>(shared);
    connection_.reset(InternetConnectW(session_.get(), host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP,
                                       0, context));
    if (!connection_) {
        Close();
        return false;
    }
    shared->AddReference();
    shared->connection = connection_.get();
    const wchar_t* accept[] = {L"*/*", nullptr};
    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                  INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_KEEP_CONNECTION;
    if (secure) flags |= INTERNET_FLAG_SECURE;
    request_.reset(HttpOpenRequestW(connection_.get(), L"GET", object.c_str(), nullptr, nullptr, accept, flags,
                                    context));
    if (!request_) {
        Close();
        return false;
    }
    shared->AddReference();
    shared->request = request_.get();
    if (HttpSendRequestW(request_.get(), nullptr, 0, nullptr, 0)) {
        // Answered at once: no completion callback will come for it.
        shared->responseArrived.store(true);
        SetEvent(shared->responseDone.get());
        shared->Post(kStateResponseCompleted);
        return true;
    }
    if (GetLastError() != ERROR_IO_PENDING) {
        Close();
        return false;
    }
    return true;
}

DWORD HttpTransfer::StatusCode() const {
    if (!request_) return 0;
    DWORD code = 0, size = sizeof(code);
    if (!HttpQueryInfoW(request_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &code, &size, nullptr))
        return 0;
    return code;
}

std::wstring HttpTransfer::GetHeader(const std::wstring& name) const {
    if (!request_ || name.empty()) return {};
    // HTTP_QUERY_CUSTOM takes the header's name in the buffer it fills.
    std::vector<wchar_t> buf(std::max<size_t>(name.size() + 1, 256));
    for (int attempt = 0; attempt < 4; ++attempt) {
        std::copy(name.begin(), name.end(), buf.begin());
        buf[name.size()] = L'\0';
        DWORD size = static_cast<DWORD>(buf.size() * sizeof(wchar_t));
        DWORD index = 0;
        if (HttpQueryInfoW(request_.get(), HTTP_QUERY_CUSTOM, buf.data(), &size, &index))
            return std::wstring(buf.data(), size / sizeof(wchar_t));
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        buf.resize(size / sizeof(wchar_t) + 1 + name.size());
    }
    return {};
}

HttpTransfer::WaitResult HttpTransfer::WaitForResponse(HANDLE cancel) {
    Shared* shared = shared_;
    if (!request_ || !shared) return WaitResult::Failed;
    const HANDLE events[] = {shared->responseDone.get(), cancel};
    const DWORD count = cancel ? 2 : 1;
    switch (WaitForMultipleObjects(count, events, FALSE, kWaitLimitMs)) {
    case WAIT_OBJECT_0: return shared->responseArrived.load() ? WaitResult::Arrived : WaitResult::Failed;
    case WAIT_OBJECT_0 + 1: return WaitResult::Cancelled;
    default: return WaitResult::Failed;
    }
}

DWORD HttpTransfer::RequestError() const { return shared_ ? shared_->requestError.load() : 0; }

HttpTransfer::ChunkResult HttpTransfer::WaitForCompletion(HANDLE cancel, ULONGLONG deadline) {
    const HANDLE events[] = {shared_->asyncDone.get(), cancel};
    DWORD wait = kWaitLimitMs;
    if (deadline) {
        const ULONGLONG now = GetTickCount64();
        wait = static_cast<DWORD>(std::min<ULONGLONG>(wait, deadline > now ? deadline - now : 0));
    }
    switch (WaitForMultipleObjects(cancel ? 2 : 1, events, FALSE, wait)) {
    case WAIT_OBJECT_0: return shared_->asyncResult ? ChunkResult::Data : ChunkResult::Failed;
    case WAIT_OBJECT_0 + 1: return ChunkResult::Cancelled;
    case WAIT_TIMEOUT: return wait < kWaitLimitMs ? ChunkResult::TimedOut : ChunkResult::Failed;
    default: return ChunkResult::Failed;
    }
}

HttpTransfer::ChunkResult HttpTransfer::FillBuffer(HANDLE cancel, ULONGLONG deadline) {
    bufferPos_ = bufferEnd_ = 0;
    Shared* shared = shared_;
    if (!request_ || !shared || !shared->responseArrived.load()) return ChunkResult::Failed;
    // Waiting for data is done on the availability query alone: a read asks
    // for no more than is already there, so it never waits on the network.
    for (int pass = 0; pass < 3; ++pass) {
        shared->available = 0;
        if (!InternetQueryDataAvailable(request_.get(), &shared->available, 0, 0)) {
            if (GetLastError() != ERROR_IO_PENDING) return ChunkResult::Failed;
            const ChunkResult waited = WaitForCompletion(cancel, deadline);
            if (waited != ChunkResult::Data) return waited;
            continue;
        }
        if (shared->available == 0) return ChunkResult::End;
        const DWORD want = std::min<DWORD>(shared->available, kReadBlock);
        shared->bytesRead = 0;
        if (!InternetReadFile(request_.get(), shared->block.data(), want, &shared->bytesRead)) {
            if (GetLastError() != ERROR_IO_PENDING) return ChunkResult::Failed;
            const ChunkResult waited = WaitForCompletion(cancel, deadline);
            if (waited != ChunkResult::Data) return waited;
        }
        bufferEnd_ = std::min<size_t>(shared->bytesRead, want);
        return bufferEnd_ == 0 ? ChunkResult::End : ChunkResult::Data;
    }
    return ChunkResult::Failed;
}

HttpTransfer::ChunkResult HttpTransfer::GetChunk(size_t maxBytes, std::vector<unsigned char>& piece, HANDLE cancel,
                                                  ULONGLONG deadline) {
    piece.clear();
    while (piece.size() < maxBytes && !drained_) {
        if (bufferPos_ >= bufferEnd_) {
            ChunkResult r = FillBuffer(cancel, deadline);
            if (r != ChunkResult::Data && r != ChunkResult::End) {
                piece.clear();
                return r;
            }
            if (r == ChunkResult::End) {
                drained_ = true;
                break;
            }
        }
        const size_t take = std::min(maxBytes - piece.size(), bufferEnd_ - bufferPos_);
        const unsigned char* from = shared_->block.data() + bufferPos_;
        piece.insert(piece.end(), from, from + take);
        bufferPos_ += take;
    }
    return piece.empty() ? ChunkResult::End : ChunkResult::Data;
}

void HttpTransfer::Close() {
    Shared* shared = shared_;
    shared_ = nullptr;
    if (shared) {
        AcquireSRWLockExclusive(&shared->lock);
        shared->window = nullptr;
        ReleaseSRWLockExclusive(&shared->lock);
    }
    // A request still under way finishes on WinINet's thread; its closing
    // notification then drops the last reference to the shared record.
    request_.reset();
    connection_.reset();
    session_.reset();
    if (shared) shared->Release();
    bufferPos_ = bufferEnd_ = 0;
}

}  // namespace updater
