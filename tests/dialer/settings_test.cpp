#include "tests/dialer/dialer_fixture.h"

#include "dialer/settings.h"

using namespace testing_support;
using dialer::ReadIni;
using dialer::WriteIni;

TEST_F(Dialer, SettingsComeBackExactlyUpTo127BytesPlainOnesStoredBareInTheSystemCodePage) {
    const std::wstring values[] = {L"\"abc\"", L"abc ", L" abc", L"\tabc", L"abc\t", L"a\"b", L"\"", L"\"\"",
                                   L"'x'", L" ", L" \"q\" ", L"plain", L"宽 带", std::wstring(127, L'a'),
                                   std::wstring(126, L'b') + L" ", L" " + std::wstring(62, L'宽')};
    for (const auto& v : values) {
        WriteIni(L"Option", L"Text3", v);
        EXPECT_EQ(ReadIni(L"Option", L"Text3"), v) << ReadSettingsFileBytes();
    }
    WriteIni(L"Option", L"Text1", L"宽带连接");
    WriteIni(L"Option", L"Text2", L"a\"b");
    const std::string file = ReadSettingsFileBytes();
    EXPECT_NE(file.find("Text1=\xBF\xED\xB4\xF8\xC1\xAC\xBD\xD3\r\nText2=a\"b\r\n"), file.npos) << file;

    const std::wstring v200 = std::wstring(100, L'x') + std::wstring(100, L'y');
    WriteIni(L"Option", L"Text2", v200);
    EXPECT_EQ(ReadIni(L"Option", L"Text2"), v200.substr(0, 127));
    // 70 double-byte characters: 140 bytes stored, 127 come back (63 characters).
    WriteIni(L"Option", L"Text1", std::wstring(70, L'宽'));
    EXPECT_EQ(ReadIni(L"Option", L"Text1").substr(0, 63), std::wstring(63, L'宽'));
    EXPECT_EQ(ReadIni(L"Option", L"Vornadel1"), L"") << "a missing value";
}

// What a field holds comes back from the file at the next start: it takes no more, dropping what goes beyond
// where it was typed or pasted.
TEST_F(Dialer, FieldsTakeNoMoreThanTheSettingsFileGivesBack) {
    ASSERT_TRUE(Open());
    const std::wstring wide = L"a" + std::wstring(62, L'宽') + L"b";  // 126 bytes: one more 宽 would not fit
    for (int id : {dialer::IDC_CONNECTION_NAME, dialer::IDC_ACCOUNT, dialer::IDC_PASSWORD}) {
        SCOPED_TRACE(id);
        SetWindowTextW(C(id), std::wstring(200, L'x').c_str());
        EXPECT_EQ(Text(id), std::wstring(127, L'x'));
        SetWindowTextW(C(id), L"ab");
        SendMessageW(C(id), EM_SETSEL, 1, 1);
        SendMessageW(C(id), EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(std::wstring(70, L'宽').c_str()));
        EXPECT_EQ(Text(id), wide);
    }
    SendMessageW(hwnd_, WM_CLOSE, 0, 0);
    ASSERT_TRUE(Open());
    for (int id : {dialer::IDC_CONNECTION_NAME, dialer::IDC_ACCOUNT, dialer::IDC_PASSWORD}) EXPECT_EQ(Text(id), wide);
}
