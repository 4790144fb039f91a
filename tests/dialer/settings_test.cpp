#include <gtest/gtest.h>

#include "dialer/settings.h"
#include "tests/support/testing.h"

using namespace testing_support;
using dialer::ReadIni;
using dialer::WriteIni;

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override { RemoveSettingsFile(); }
    void TearDown() override { RemoveSettingsFile(); }
};

TEST_F(SettingsStore, MissingFileReadsEmpty) {
    for (const wchar_t* key : {L"Text1", L"Text2", L"Text3", L"Vornadel1", L"Vornadel2"})
        EXPECT_EQ(ReadIni(L"Option", key), L"");
}

TEST_F(SettingsStore, LongValuesAreCutTo127Characters) {
    std::wstring v200;
    for (int i = 0; i < 200; ++i) v200 += static_cast<wchar_t>(L'a' + i % 26);
    WriteIni(L"Option", L"Text2", v200);
    EXPECT_NE(ReadSettingsFileBytes().find("Text2=" + std::string(v200.begin(), v200.begin() + 128) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(ReadIni(L"Option", L"Text2"), v200.substr(0, 127));
}

TEST_F(SettingsStore, HandWrittenValuesReadAsBefore) {
    WriteSettingsFileBytes("[Option]\r\nText1=  a b \r\nText2=x\ty\r\nText3=\"q\"\r\n");
    EXPECT_EQ(ReadIni(L"Option", L"Text1"), L"a b");
    EXPECT_EQ(ReadIni(L"Option", L"Text2"), L"x\ty");
    EXPECT_EQ(ReadIni(L"Option", L"Text3"), L"q");
}

TEST_F(SettingsStore, EveryValueComesBackExactly) {
    const std::wstring values[] = {L"\"abc\"", L"abc ", L" abc", L"\tabc", L"abc\t", L"a\"b", L"\"", L"\"\"",
                                   L"'x'", L" ", L" \"q\" ", L"plain", L"宽 带", std::wstring(127, L'a'),
                                   std::wstring(126, L'b') + L" ", L" " + std::wstring(62, L'宽')};
    for (const auto& v : values) {
        WriteIni(L"Option", L"Text3", v);
        EXPECT_EQ(ReadIni(L"Option", L"Text3"), v) << ReadSettingsFileBytes();
    }
    // Values the profile functions leave alone are stored bare; the password too.
    WriteIni(L"Option", L"Text2", L"a\"b");
    WriteIni(L"Option", L"Text3", L"s3cret");
    const std::string file = ReadSettingsFileBytes();
    EXPECT_TRUE(file.find("Text2=a\"b\r\n") != file.npos && file.find("Text3=s3cret\r\n") != file.npos) << file;
}

TEST_F(SettingsStore, TellsWhatTheCodePageCannotHold) {
    const struct {
        const wchar_t* text;
        bool storable;
    } cases[] = {{L"", true}, {L"abc", true}, {L"宽带连接", true}, {L"a\U0001F600", false}, {L"\u0B85", false}};
    for (const auto& c : cases) EXPECT_EQ(dialer::StorableInSettings(c.text), c.storable) << c.text;
}

TEST_F(SettingsStore, ChineseTextIsStoredInTheSystemCodePage) {
    WriteIni(L"Option", L"Text1", L"宽带连接");
    // GBK bytes of the text, as a Chinese system stores them.
    EXPECT_NE(ReadSettingsFileBytes().find("Text1=\xBF\xED\xB4\xF8\xC1\xAC\xBD\xD3"), std::string::npos);
    EXPECT_EQ(ReadIni(L"Option", L"Text1"), L"宽带连接");
    // 70 double-byte characters: 140 bytes stored, 127 come back (63 characters).
    std::wstring longText(70, L'宽');
    WriteIni(L"Option", L"Text1", longText);
    EXPECT_EQ(ReadIni(L"Option", L"Text1").substr(0, 63), std::wstring(63, L'宽'));
}
