#include "updater/download_job.h"

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <deque>
#include <vector>

#include "platform/errors.h"
#include "platform/handles.h"
#include "updater/download_window.h"
#include "updater/http_transfer.h"
#include "updater/program_image.h"
#include "updater/program_version.h"

namespace updater {

namespace {

const wchar_t kTextHttpStatusPrefix[] = L"服务器没有提供升级文件（HTTP ";
const wchar_t kTextIncomplete[] = L"文件没有下载完整，请稍后再试";
const wchar_t kTextNotProgram[] = L"下载的文件不是有效的程序文件";
const wchar_t kTextWrongMachine[] = L"下载的程序不适用于这种类型的电脑";
const wchar_t kTextUnreadable[] = L"无法读取下载的文件";
const wchar_t kTextBadLength[] = L"服务器报告的文件大小无效";
const wchar_t kTextTooSlow[] = L"服务器传送数据太慢，下载已超时，请稍后再试";
const wchar_t kTextNoVersion[] = L"下载的程序没有版本信息，已放弃安装。";
// What went wrong with the signature; the refusal adds the details and its end.
const wchar_t kSignatureMissing[] = L"找不到升级文件的签名";
const wchar_t kSignatureNotFetched[] = L"无法下载升级文件的签名";
const wchar_t kSignatureMalformed[] = L"升级文件的签名格式不正确";
const wchar_t kSignatureInvalid[] = L"升级文件的签名无效";
const wchar_t kSignatureUnchecked[] = L"无法核对升级文件的签名";

constexpr size_t kPieceSize = 1024;

// Content-Length; -1 when the text is not a plain decimal number, and
// anything above the download limit as just above it.
long long ParseLength(const std::wstring& text) {
    size_t begin = text.find_first_not_of(L" \t");
    size_t end = text.find_last_not_of(L" \t");
    if (begin == std::wstring::npos) return -1;
    long long value = 0;
    for (size_t i = begin; i <= end; ++i) {
        wchar_t c = text[i];
        if (c < L'0' || c > L'9') return -1;
        value = std::min(value * 10 + (c - L'0'), kMaxDownloadBytes + 1);
    }
    return value;
}

std::wstring TooLargeText() {
    return L"升级文件过大（超过 " + plat::DecimalText(static_cast<unsigned long>(kMaxDownloadBytes >> 20)) + L" MB），已放弃下载。";
}

std::wstring SignatureRefused(const wchar_t* what, const std::wstring& detail = {}) {
    return what + detail + L"，已放弃安装。";
}

// CNG reports NTSTATUS values, which are looked up in hex.
std::wstring StatusSuffix(DWORD status) {
    return L"（错误 0x" + plat::HexText(status, 8) + L"）";
}

// The time-out of a body that has started: it ends when fewer than
// kSlowBodyMinBytes arrived in the last kSlowBodyWindowMs. Keeps the arrivals
// that brought the newest kSlowBodyMinBytes; the oldest of them sets the end.
class SlowBodyDeadline {
public:
    SlowBodyDeadline() : start_(GetTickCount64()) {}
    // total: every byte of the body so far.
    void Arrived(long long total) {
        arrivals_.push_back({GetTickCount64(), total});
        while (arrivals_.front().total <= total - kSlowBodyMinBytes) arrivals_.pop_front();
    }
    // A GetTickCount64 value.
    ULONGLONG Get() const {
        const bool enough = !arrivals_.empty() && arrivals_.back().total >= kSlowBodyMinBytes;
        return (enough ? arrivals_.front().tick : start_) + kSlowBodyWindowMs;
    }

private:
    struct Arrival {
        ULONGLONG tick;
        long long total;
    };
    ULONGLONG start_;
    std::deque<Arrival> arrivals_;
};

bool LooksLikeProgram(const std::vector<unsigned char>& firstPiece) {
    return firstPiece.size() >= 2 && firstPiece[0] == 'M' && firstPiece[1] == 'Z';
}

// The file being received: it lives under a temporary name and only takes
// its real name once it is complete and checked (the window renames it when
// it takes the outcome), so a broken transfer never leaves a partial program
// where the install step looks for one. Pieces are
// appended through a fixed buffer: one write per 64 KB instead of one per piece.
class PartialFile {
public:
    explicit PartialFile(std::wstring finalPath) : finalPath_(std::move(finalPath)), tempPath_(finalPath_ + L".part") {
        pending_.reserve(kWriteBlock);
    }
    ~PartialFile() { Discard(); }

    const std::wstring& tempPath() const { return tempPath_; }

    bool Create() {
        SetFileAttributesW(tempPath_.c_str(), FILE_ATTRIBUTE_NORMAL);
        // Shared for deletion: should the worker ever outlive the window, the
        // window can still remove the name, and the file goes with our handle.
        file_.reset(CreateFileW(tempPath_.c_str(), GENERIC_WRITE, FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        return static_cast<bool>(file_);
    }
    bool Append(const std::vector<unsigned char>& bytes) {
        if (!file_) return false;
        if (pending_.size() + bytes.size() > kWriteBlock && !Flush()) return false;
        pending_.insert(pending_.end(), bytes.begin(), bytes.end());
        size_ += static_cast<long long>(bytes.size());
        return true;
    }
    // Bytes appended so far: the position of the last byte written.
    long long size() const { return size_; }
    // Writes what is left and closes the file, which keeps its temporary name.
    bool Finish() {
        if (!file_ || !Flush()) return false;
        file_.reset();
        return true;
    }
    // Leaves the finished file in place for the window to take.
    void Keep() { kept_ = true; }
    void Discard() {
        file_.reset();
        if (kept_) return;
        DeleteFileW(tempPath_.c_str());
    }

private:
    static constexpr size_t kWriteBlock = 64 * 1024;

    bool Flush() {
        if (pending_.empty()) return true;
        DWORD written = 0;
        bool ok = WriteFile(file_.get(), pending_.data(), static_cast<DWORD>(pending_.size()), &written, nullptr) &&
                  written == pending_.size();
        pending_.clear();
        return ok;
    }

    std::wstring finalPath_;
    std::wstring tempPath_;
    plat::UniqueFile file_;
    std::vector<unsigned char> pending_;
    long long size_ = 0;
    bool kept_ = false;
};

}  // namespace

struct DownloadJob::Shared {
    HttpTransfer transfer;
    plat::UniqueHandle cancel{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    plat::UniqueHandle thread;
    HWND window = nullptr;
    std::wstring url;
    std::wstring localPath;
    std::optional<PublicKey> publicKey;
    std::wstring installedProgram;
    std::atomic<long long> bytes{0};
    std::atomic<long long> expected{-1};
    std::atomic<bool> progressPosted{false};
    Outcome outcome;  // the worker's, read once it has ended

    bool Cancelled() const { return WaitForSingleObject(cancel.get(), 0) == WAIT_OBJECT_0; }
    void Progress(long long saved) {
        bytes.store(saved);
        if (!progressPosted.exchange(true)) PostMessageW(window, kDownloadProgressMessage, 0, 0);
    }
};

namespace {

using Shared = DownloadJob::Shared;

// The signature file next to the program, through the same HTTP layer and
// its rules; an empty text when it arrived whole into der.
std::wstring FetchSignature(const std::wstring& url, HANDLE cancel, std::vector<unsigned char>& der) {
    HttpTransfer transfer;
    if (!transfer.Execute(url, nullptr, 0)) return SignatureRefused(kSignatureNotFetched);
    const auto response = transfer.WaitForResponse(cancel);
    if (response != HttpTransfer::WaitResult::Arrived)
        return SignatureRefused(kSignatureNotFetched, plat::ErrorSuffix(transfer.RequestError()));
    const DWORD status = transfer.StatusCode();
    if (status == HTTP_STATUS_NOT_FOUND) return SignatureRefused(kSignatureMissing);
    if (status != HTTP_STATUS_OK)
        return SignatureRefused(kSignatureNotFetched, L"（HTTP " + plat::DecimalText(status) + L"）");
    const std::wstring lengthText = transfer.GetHeader(L"Content-Length");
    const long long length = lengthText.empty() ? -1 : ParseLength(lengthText);
    if (!lengthText.empty() && length < 0) return SignatureRefused(kSignatureNotFetched);
    if (length > static_cast<long long>(kMaxSignatureFileBytes)) return SignatureRefused(kSignatureMalformed);
    // Far shorter than the slow-body minimum: it has that long to arrive whole.
    const SlowBodyDeadline deadline;
    std::vector<unsigned char> piece;
    for (;;) {
        const auto result = transfer.GetChunk(kPieceSize, piece, cancel, deadline.Get());
        if (result == HttpTransfer::ChunkResult::End) break;
        if (result == HttpTransfer::ChunkResult::TimedOut) return SignatureRefused(kSignatureNotFetched, L"（超时）");
        if (result != HttpTransfer::ChunkResult::Data) return SignatureRefused(kSignatureNotFetched);
        der.insert(der.end(), piece.begin(), piece.end());
        if (der.size() > kMaxSignatureFileBytes) return SignatureRefused(kSignatureMalformed);
    }
    if (length >= 0 && static_cast<long long>(der.size()) != length) return SignatureRefused(kSignatureNotFetched);
    return {};
}

std::wstring CheckSignature(const Shared& s, const Digest& sha256) {
    std::vector<unsigned char> der;
    std::wstring failure = FetchSignature(s.url + L".sig", s.cancel.get(), der);
    if (!failure.empty()) return failure;
    const SignatureResult result = VerifySignature(sha256, der, *s.publicKey);
    switch (result.status) {
    case SignatureStatus::Valid: return {};
    case SignatureStatus::Malformed: return SignatureRefused(kSignatureMalformed);
    case SignatureStatus::DoesNotMatch: return SignatureRefused(kSignatureInvalid);
    default: return SignatureRefused(kSignatureUnchecked, StatusSuffix(result.error));
    }
}

// A signed older program is still signed: only a newer one than the
// installed dialer (or than none) is taken.
std::wstring CheckVersion(const std::wstring& download, const std::wstring& installed) {
    const std::optional<uint64_t> offered = ReadFileVersion(download);
    if (!offered) return kTextNoVersion;
    const std::optional<uint64_t> current = ReadFileVersion(installed);
    if (!current || *offered > *current) return {};
    if (*offered == *current) return L"已经是最新版本 " + VersionText(*current) + L"，无需升级。";
    return L"下载的程序版本 " + VersionText(*offered) + L" 比已安装的 " + VersionText(*current) + L" 旧，已放弃安装。";
}

std::wstring CheckImage(HANDLE file) {
    switch (CheckProgramImage(file, OwnMachine())) {
    case ImageCheck::Whole: return {};
    case ImageCheck::NotProgram: return kTextNotProgram;
    case ImageCheck::WrongMachine: return kTextWrongMachine;
    case ImageCheck::Truncated: return kTextIncomplete;
    default: return kTextUnreadable;
    }
}

DownloadJob::Outcome Failure(std::wstring text) { return {false, std::move(text), {}}; }
// The file could not be written: the system's number helps to find out why.
DownloadJob::Outcome CannotSave() { return Failure(kTextCannotSave + plat::ErrorSuffix(GetLastError())); }

// Every check reads the finished file through one handle that lets nobody
// write or delete it meanwhile, and the digest of what they passed goes to
// the install step, which installs nothing else.
DownloadJob::Outcome CheckSavedFile(const Shared& s, const std::wstring& file) {
    plat::UniqueFile in(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!in) return Failure(kTextUnreadable + plat::ErrorSuffix(GetLastError()));
    std::wstring failure = CheckImage(in.get());
    if (!failure.empty()) return Failure(failure);
    Digest sha256{};
    if (const DWORD error = Sha256OfFile(in.get(), sha256)) return Failure(kTextUnreadable + plat::ErrorSuffix(error));
    if (s.publicKey) {
        failure = CheckSignature(s, sha256);
        if (failure.empty()) failure = CheckVersion(file, s.installedProgram);
        if (!failure.empty()) return Failure(failure);
    }
    return {true, {}, sha256};
}

// The receive steps in their order: first piece, the response's checks,
// then piece after piece into the file until the announced length (or the
// end of the body without one), then the whole-file checks.
// A cancelled transfer ends with a failure nobody reads.
DownloadJob::Outcome ReceiveAndSave(Shared& s) {
    HttpTransfer& transfer = s.transfer;
    const HANDLE cancel = s.cancel.get();
    const DWORD status = transfer.StatusCode();
    SlowBodyDeadline deadline;
    std::vector<unsigned char> buffer;
    buffer.reserve(kPieceSize);
    auto result = transfer.GetChunk(kPieceSize, buffer, cancel, deadline.Get());

    if (result == HttpTransfer::ChunkResult::Cancelled) return Failure(kTextCommunicationError);
    if (status != HTTP_STATUS_OK) return Failure(kTextHttpStatusPrefix + plat::DecimalText(status) + L"）");
    if (result == HttpTransfer::ChunkResult::TimedOut) return Failure(kTextTooSlow);
    if (result == HttpTransfer::ChunkResult::Failed) return Failure(kTextCommunicationError);
    const std::wstring lengthText = transfer.GetHeader(L"Content-Length");
    const bool lengthKnown = !lengthText.empty();
    const long long length = lengthKnown ? ParseLength(lengthText) : -1;
    if (lengthKnown && length < 0) return Failure(kTextBadLength);
    if (length > kMaxDownloadBytes) return Failure(TooLargeText());
    if (!LooksLikeProgram(buffer))
        return Failure(buffer.empty() && lengthKnown && length > 0 ? kTextIncomplete : kTextNotProgram);

    PartialFile file(s.localPath);
    if (!file.Create()) return CannotSave();
    s.expected.store(length);
    deadline.Arrived(static_cast<long long>(buffer.size()));

    for (bool done = false; !done;) {
        if (file.size() + static_cast<long long>(buffer.size()) > kMaxDownloadBytes) return Failure(TooLargeText());
        if (!file.Append(buffer)) return CannotSave();
        result = transfer.GetChunk(kPieceSize, buffer, cancel, deadline.Get());
        s.Progress(file.size());
        if (result == HttpTransfer::ChunkResult::TimedOut) return Failure(kTextTooSlow);
        if (result != HttpTransfer::ChunkResult::Data && result != HttpTransfer::ChunkResult::End)
            return Failure(kTextCommunicationError);
        if (!buffer.empty()) deadline.Arrived(file.size() + static_cast<long long>(buffer.size()));
        if (lengthKnown) {
            if (length <= file.size()) {
                done = true;
            } else if (buffer.empty()) {
                // The body ended before the announced length.
                return Failure(kTextIncomplete);
            }
        } else if (buffer.empty()) {
            done = true;
        }
    }
    if (lengthKnown && file.size() != length) return Failure(kTextIncomplete);
    transfer.Close();
    if (!file.Finish()) return CannotSave();
    DownloadJob::Outcome outcome = CheckSavedFile(s, file.tempPath());
    if (outcome.complete) file.Keep();
    return outcome;
}

DWORD WINAPI ReceiveThread(void* param) {
    std::shared_ptr<Shared> shared(std::move(*static_cast<std::shared_ptr<Shared>*>(param)));
    delete static_cast<std::shared_ptr<Shared>*>(param);
    shared->outcome = ReceiveAndSave(*shared);
    shared->transfer.Close();
    if (!shared->Cancelled()) PostMessageW(shared->window, kDownloadFinishedMessage, 0, 0);
    return 0;
}

}  // namespace

bool IsCertificateError(DWORD internetError) {
    switch (internetError) {
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SEC_CERT_REVOKED: return true;
    default: return false;
    }
}

DownloadJob::DownloadJob() = default;

DownloadJob::~DownloadJob() { Cancel(); }

bool DownloadJob::Start(const std::wstring& url, HWND window, UINT stateMessage) {
    Cancel();
    auto shared = std::make_shared<Shared>();
    if (!shared->cancel) return false;
    shared->window = window;
    shared->url = url;
    shared_ = shared;
    return shared->transfer.Execute(url, window, stateMessage);
}

bool DownloadJob::Receive(const std::wstring& localPath, const std::optional<PublicKey>& publicKey,
                          const std::wstring& installedProgram) {
    if (!shared_ || shared_->thread) return false;
    shared_->localPath = localPath;
    shared_->publicKey = publicKey;
    shared_->installedProgram = installedProgram;
    auto* param = new std::shared_ptr<Shared>(shared_);
    shared_->thread.reset(CreateThread(nullptr, 0, ReceiveThread, param, 0, nullptr));
    if (!shared_->thread) {
        delete param;
        return false;
    }
    return true;
}

long long DownloadJob::BytesSaved() const { return shared_ ? shared_->bytes.load() : 0; }

long long DownloadJob::ExpectedLength() const { return shared_ ? shared_->expected.load() : -1; }

void DownloadJob::ProgressSeen() {
    if (shared_) shared_->progressPosted.store(false);
}

DownloadJob::Outcome DownloadJob::Result() const {
    if (!shared_ || !shared_->thread) return {};
    // Posted as its last act: the worker is as good as gone.
    if (WaitForSingleObject(shared_->thread.get(), kWorkerJoinLimitMs) != WAIT_OBJECT_0) return {};
    return shared_->outcome;
}

bool DownloadJob::Commit() {
    if (!Result().complete) return false;
    const std::wstring& target = shared_->localPath;
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    return MoveFileExW((target + L".part").c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
}

DWORD DownloadJob::RequestError() const { return shared_ ? shared_->transfer.RequestError() : 0; }

void DownloadJob::Cancel() {
    std::shared_ptr<Shared> shared = std::move(shared_);
    if (!shared) return;
    SetEvent(shared->cancel.get());
    if (!shared->thread) {
        shared->transfer.Close();
        return;
    }
    // The worker wakes from any wait on the event and removes its partial
    // file; a checked file nobody took is removed here. Should the worker
    // not end in time, the name goes now and the file with the worker's
    // handle, at the latest when the process ends (while the checks hold the
    // finished file, it goes when the worker ends).
    WaitForSingleObject(shared->thread.get(), kWorkerJoinLimitMs);
    DeleteFileW((shared->localPath + L".part").c_str());
}

}  // namespace updater
