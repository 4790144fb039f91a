// Whatever stands in list.ini, the dialer opens, shows sane fields, keeps
// running and closes cleanly.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "dialer/main_window.h"
#include "dialer/tray.h"
#include "platform/text.h"
#include "platform/window.h"
#include "tests/soak/harness.h"
#include "tests/support/testing.h"

namespace {

using dialer::IDC_CONNECTION_NAME;
using dialer::IDC_ACCOUNT;
using dialer::IDC_PASSWORD;
using Expected = std::map<int, std::wstring>;

std::string Utf16File(const std::wstring& text) {
    std::string bytes = "\xFF\xFE";
    for (wchar_t c : text) bytes += static_cast<char>(c & 0xFF), bytes += static_cast<char>(c >> 8);
    return bytes;
}

// Opens the dialer on what the settings file holds, checks its fields,
// drives it a little and closes it; returns the fields.
std::vector<std::wstring> OpenAndClose(const std::string& file, const Expected& expected) {
    std::vector<std::wstring> fields;
    dialer::MainWindow* form = dialer::MainWindow::Create();
    EXPECT_TRUE(form) << "the window did not open";
    if (!form) return fields;
    const HWND hwnd = form->hwnd();
    for (int id = IDC_CONNECTION_NAME; id <= dialer::IDC_REDIAL_FLAG; ++id) {
        fields.push_back(plat::WindowText(form->Control(id)));
        EXPECT_LE(plat::ToAnsi(fields.back()).size(), 127u) << "field " << id - IDC_CONNECTION_NAME + 1;
        for (wchar_t c : fields.back())
            EXPECT_TRUE(c >= 0x20 || file.find(static_cast<char>(c)) != std::string::npos) << "control character " << int(c);
        auto e = expected.find(id);
        if (e != expected.end()) {
            EXPECT_EQ(e->second, fields.back()) << "field " << id - IDC_CONNECTION_NAME + 1;
        }
    }
    SendMessageW(hwnd, WM_TIMER, dialer::kRedialTimerId, 0);
    SendMessageW(hwnd, kTrayCallbackMessage, dialer::kTrayIconId, WM_LBUTTONDOWN);
    testing_support::PumpMessages(20);
    EXPECT_TRUE(IsWindow(hwnd) && IsWindowVisible(hwnd)) << "still running";
    form->Unload();
    EXPECT_FALSE(IsWindow(hwnd));
    return fields;
}

// Twice: what the first run saved at its close, the second run shows again.
void OpenOn(const std::string& file, const Expected& expected = {}) {
    testing_support::WriteSettingsFileBytes(file);
    const auto first = OpenAndClose(file, expected);
    EXPECT_EQ(first, OpenAndClose(file, {})) << "the saved settings changed";
}

class SettingsFuzz : public ::testing::Test {
protected:
    void SetUp() override { plat::SetQuitWhenLastFormCloses(false); }
    void TearDown() override {
        testing_support::PumpMessages(20);
        testing_support::RemoveSettingsFile();
        testing_support::DeleteRunValue();
    }
    testing_support::CommandRecord record_;
};

TEST_F(SettingsFuzz, ShapesEditorsAndDisksProduce) {
    const std::string head = "[Option]\r\n";
    std::string big = head;
    while (big.size() < 10u << 20) big += "Filler" + std::to_string(big.size()) + "=" + std::string(90, 'x') + "\r\n";
    const struct {
        const char* name;
        std::string file;
        Expected expected;
    } cases[] = {
        {"10 MB, keys at the end", big + "Text2=user\r\nText3=pw\r\n", {{IDC_ACCOUNT, L"user"}, {IDC_PASSWORD, L"pw"}}},
        {"UTF-16 LE with BOM", Utf16File(L"[Option]\r\nText1=宽带连接2\r\nText2=用户\r\nText3=pw\r\n"),
         {{IDC_CONNECTION_NAME, L"宽带连接2"}, {IDC_ACCOUNT, L"用户"}, {IDC_PASSWORD, L"pw"}}},
        {"missing section", "Text2=user\r\nText3=pw\r\n[Other]\r\nText1=x\r\n",
         {{IDC_CONNECTION_NAME, L"宽带连接"}, {IDC_ACCOUNT, L""}, {IDC_PASSWORD, L""}}},
        {"duplicate keys and sections", head + "Text2=first\r\nText2=second\r\n" + head + "Text3=pw\r\n",
         {{IDC_ACCOUNT, L"first"}}},
        {"keys without =", head + "Text2\r\nText3 pw\r\nText1=name\r\n",
         {{IDC_CONNECTION_NAME, L"name"}, {IDC_ACCOUNT, L""}, {IDC_PASSWORD, L""}}},
        {"100,000-byte lines", head + "Text2=" + std::string(100000, 'a') + "\r\n" + std::string(100000, 'b') +
                                   "\r\nText3=pw\r\n",
         {{IDC_ACCOUNT, std::wstring(127, L'a')}, {IDC_PASSWORD, L"pw"}}},
        {"NUL bytes", head + std::string("Text2=ab\0cd\r\n\0\0\0\r\nText3=p\0w\r\nText1=\0", 32) + "\r\n", {}},
        {"bare CR, LF and a lone byte", head + "Text2=u\rText3=p\nText1=\xBF\r\n", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        OpenOn(c.file, c.expected);
    }
}

TEST_F(SettingsFuzz, RandomAndMutatedFiles) {
    const std::string valid = "[Option]\r\nText1=宽带连接\r\nText2=user\r\nText3=secret\r\nVornadel1=0\r\nVornadel2=1\r\n";
    const int budget = soak::FuzzBudget(30);
    for (int seed = 1; seed <= budget; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        soak::Random random(seed);
        const std::string file = seed % 2 ? random.Mutate(random.Mutate(valid))
                                          : (seed % 4 ? "[Option]\r\n" : "") + random.Bytes(random.Below(4096));
        OpenOn(file);
        if (HasFailure()) break;
    }
}

}  // namespace
