#include "updater/http_transfer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/testing.h"
#include "tests/updater/updater_test_support.h"

using testing_support::PumpMessages;
using testing_support::PumpUntil;
using updater::HttpTransfer;
using namespace updater_test;

namespace {

constexpr UINT kStateMessage = WM_APP + 7;

// A message-only window that keeps the states posted to it.
class StateRecorder {
public:
    StateRecorder() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UpdaterTestStateRecorder";
        RegisterClassW(&wc);
        hwnd_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~StateRecorder() { DestroyWindow(hwnd_); }
    HWND hwnd() const { return hwnd_; }
    std::vector<int> states;
    bool Has(int state) const {
        for (int s : states)
            if (s == state) return true;
        return false;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<StateRecorder*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == kStateMessage && self) {
            self->states.push_back(static_cast<int>(wParam));
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }
    HWND hwnd_ = nullptr;
};

std::string ReadWholeBody(HttpTransfer& transfer, size_t pieceSize, std::vector<size_t>* sizes = nullptr) {
    std::string body;
    std::vector<unsigned char> piece;
    for (int guard = 0; guard < 100000; ++guard) {
        auto r = transfer.GetChunk(pieceSize, piece);
        if (r != HttpTransfer::ChunkResult::Data) break;
        if (sizes) sizes->push_back(piece.size());
        body.append(piece.begin(), piece.end());
    }
    return body;
}

}  // namespace

TEST(HttpTransfer, WinInetStatusCodesMapToTheTransferStates) {
    const std::pair<DWORD, int> map[] = {{10, 1}, {11, 2}, {20, 3}, {21, 4}, {30, 5}, {31, 6},
                                         {40, 7}, {41, 8}, {50, 9}, {51, 10}};
    for (auto [code, state] : map) EXPECT_EQ(updater::StateForInternetStatus(code), state) << code;
    for (DWORD other : {0u, 60u, 70u, 100u, 110u, 200u})
        EXPECT_EQ(updater::StateForInternetStatus(other), 0) << other;
}

TEST(HttpTransfer, GetPostsStatesInOrderAndGivesHeadersAndPieces) {
    StateRecorder recorder;
    HttpTransfer transfer;
    ASSERT_TRUE(transfer.Execute(ServerUrl(L"/normal/vornadel.exe"), recorder.hwnd(), kStateMessage));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has(12) || recorder.Has(11); }, 15000));
    ASSERT_TRUE(recorder.Has(12));
    EXPECT_FALSE(recorder.Has(11));
    // The states come in the order the transfer goes through them.
    std::vector<int> progress;
    for (int s : recorder.states)
        if (s <= 8 || s == 12) progress.push_back(s);
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end())) << ::testing::PrintToString(recorder.states);
    for (int s : {3, 4, 5, 6, 7, 8}) EXPECT_TRUE(recorder.Has(s)) << s;

    EXPECT_EQ(transfer.StatusCode(), 200u);
    EXPECT_EQ(transfer.GetHeader(L"Content-Length"), L"10000");
    EXPECT_EQ(transfer.GetHeader(L"content-length"), L"10000");
    EXPECT_EQ(transfer.GetHeader(L"Content-Type"), L"application/octet-stream");
    EXPECT_EQ(transfer.GetHeader(L"X-Not-There"), L"");

    std::vector<size_t> sizes;
    std::string body = ReadWholeBody(transfer, 1024, &sizes);
    EXPECT_EQ(body, ExpectedBody(10000));
    ASSERT_EQ(sizes.size(), 10u);
    for (size_t i = 0; i < 9; ++i) EXPECT_EQ(sizes[i], 1024u);
    EXPECT_EQ(sizes[9], 10000u - 9 * 1024);
    // Drained: every further read comes back empty.
    std::vector<unsigned char> piece{1, 2, 3};
    EXPECT_EQ(transfer.GetChunk(1024, piece), HttpTransfer::ChunkResult::End);
    EXPECT_TRUE(piece.empty());
    EXPECT_EQ(transfer.GetChunk(1024, piece), HttpTransfer::ChunkResult::End);
}

TEST(HttpTransfer, PiecesNeverExceedTheRequestedSize) {
    StateRecorder recorder;
    HttpTransfer transfer;
    ASSERT_TRUE(transfer.Execute(ServerUrl(L"/drip/vornadel.exe"), recorder.hwnd(), kStateMessage));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has(12) || recorder.Has(11); }, 15000));
    std::vector<size_t> sizes;
    std::string body = ReadWholeBody(transfer, 700, &sizes);
    EXPECT_EQ(body, ExpectedBody(3000));
    for (size_t s : sizes) EXPECT_LE(s, 700u);
}

TEST(HttpTransfer, ErrorStatusAndItsBodyAreReported) {
    StateRecorder recorder;
    HttpTransfer transfer;
    ASSERT_TRUE(transfer.Execute(ServerUrl(L"/missing/vornadel.exe"), recorder.hwnd(), kStateMessage));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has(12) || recorder.Has(11); }, 15000));
    EXPECT_EQ(transfer.StatusCode(), 404u);
    EXPECT_NE(ReadWholeBody(transfer, 1024).find("Not Found"), std::string::npos);
}

TEST(HttpTransfer, BodyWithoutLengthIsReadToItsEnd) {
    StateRecorder recorder;
    HttpTransfer transfer;
    ASSERT_TRUE(transfer.Execute(ServerUrl(L"/nolength/vornadel.exe"), recorder.hwnd(), kStateMessage));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has(12) || recorder.Has(11); }, 15000));
    EXPECT_EQ(transfer.GetHeader(L"Content-Length"), L"");
    EXPECT_EQ(ReadWholeBody(transfer, 1024), ExpectedBody(3000));
}

TEST(HttpTransfer, RefusedConnectionEndsInTheErrorState) {
    StateRecorder recorder;
    HttpTransfer transfer;
    ASSERT_TRUE(transfer.Execute(RefusedUrl(), recorder.hwnd(), kStateMessage));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has(12) || recorder.Has(11); }, 30000));
    EXPECT_TRUE(recorder.Has(11));
    EXPECT_FALSE(recorder.Has(12));
}

TEST(HttpTransfer, AddressesItCannotFetchAreRefusedAtOnce) {
    StateRecorder recorder;
    HttpTransfer transfer;
    for (const wchar_t* url : {L"", L"vornadel.exe", L"ftp://127.0.0.1/vornadel.exe", L"http://"})
        EXPECT_FALSE(transfer.Execute(url, recorder.hwnd(), kStateMessage)) << url;
    PumpMessages(100);
    EXPECT_TRUE(recorder.states.empty());
}

TEST(HttpTransfer, ClosingAStalledRequestIsQuickAndSilent) {
    StateRecorder recorder;
    HttpTransfer transfer;
    ASSERT_TRUE(transfer.Execute(ServerUrl(L"/hold/vornadel.exe"), recorder.hwnd(), kStateMessage));
    ASSERT_TRUE(PumpUntil([&] { return recorder.Has(6); }, 15000));
    DWORD start = GetTickCount();
    transfer.Close();
    EXPECT_LT(GetTickCount() - start, 10000u);  // returns, rather than hanging
    size_t seen = recorder.states.size();
    PumpMessages(300);
    EXPECT_EQ(recorder.states.size(), seen);
    std::vector<unsigned char> piece;
    EXPECT_EQ(transfer.GetChunk(1024, piece), HttpTransfer::ChunkResult::Failed);
}
