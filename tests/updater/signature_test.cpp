// The signature core of signed updates: the DER parser, CNG verification of
// files signed by openssl, and the whole-program check of downloaded files.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "test_update_key.h"
#include "tests/support/testing.h"
#include "updater/program_image.h"
#include "updater/signature.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;
using updater::ImageCheck;
using updater::SignatureStatus;

Bytes Fill(size_t n, unsigned char b) { return Bytes(n, b); }
Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Tlv(unsigned char tag, const Bytes& value) {
    return Cat({{tag, static_cast<unsigned char>(value.size())}, value});
}
Bytes Int(const Bytes& v) { return Tlv(0x02, v); }
Bytes Seq(const Bytes& content) { return Tlv(0x30, content); }
Bytes Sig(const Bytes& r, const Bytes& s) { return Seq(Cat({Int(r), Int(s)})); }
// A 32-byte big-endian value as a minimal positive DER integer's content.
Bytes Unsigned(Bytes v) {
    while (v.size() > 1 && v[0] == 0 && !(v[1] & 0x80)) v.erase(v.begin());
    if (v[0] & 0x80) v.insert(v.begin(), 0x00);
    return v;
}

Bytes ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}
fs::path WriteBytes(const std::wstring& name, const Bytes& bytes) {
    fs::path path = fs::path(testing_support::TempFolder()) / (L"vornadel-sigtest-" + name);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()),
                                                                   static_cast<std::streamsize>(bytes.size()));
    return path;
}

TEST(DerSignatureTest, ParsesOnlyStrictDer) {
    const Bytes hi = Cat({{0x00}, Fill(32, 0x80)}), ff = Cat({{0x00}, Fill(32, 0xFF)});
    const Bytes r32 = Fill(32, 0x11), s32 = Fill(32, 0x22);
    struct Row {
        const char* name;
        Bytes der;
        Bytes rs;  // empty: refused
    } rows[] = {
        {"high bits keep their leading zero", Sig(hi, ff), Cat({Fill(32, 0x80), Fill(32, 0xFF)})},
        {"32-byte integers", Sig(r32, s32), Cat({r32, s32})},
        {"31-byte integer is left-padded", Sig(Fill(31, 0x33), s32), Cat({{0}, Fill(31, 0x33), s32})},
        {"1-byte integers", Sig({0x05}, {0x7F}), Cat({Fill(31, 0), {0x05}, Fill(31, 0), {0x7F}})},
        {"wrong outer tag", Tlv(0x31, Cat({Int(r32), Int(s32)})), {}},
        {"wrong integer tag", Seq(Cat({Tlv(0x03, r32), Int(s32)})), {}},
        {"outer length overruns", Cat({{0x30, 69}, Int(r32), Int(s32)}), {}},
        {"inner length overruns", Seq(Cat({Int(r32), {0x02, 34}, s32})), {}},
        {"trailing byte after the sequence", Cat({Sig(r32, s32), {0x00}}), {}},
        {"trailing byte inside the sequence", Seq(Cat({Int(r32), Int(s32), {0x00}})), {}},
        {"34-byte integer", Sig(Cat({{0x01}, Fill(33, 0x11)}), s32), {}},
        {"33 bytes without a high bit to protect", Sig(Cat({{0x00}, r32}), s32), {}},
        {"33 bytes without a leading zero", Sig(Cat({{0x01}, r32}), s32), {}},
        {"negative integer", Sig(Fill(32, 0x80), s32), {}},
        {"zero integer", Sig({0x00}, s32), {}},
        {"zero-length integer", Seq(Cat({{0x02, 0x00}, Int(s32)})), {}},
        {"long-form outer length", Cat({{0x30, 0x81, 68}, Int(r32), Int(s32)}), {}},
        {"long-form integer length", Seq(Cat({{0x02, 0x81, 32}, r32, Int(s32)})), {}},
        {"empty input", {}, {}},
        {"73 bytes", Cat({Sig(hi, ff), {0x00}}), {}},
    };
    for (const Row& row : rows) {
        std::array<unsigned char, 64> rs;
        rs.fill(0xEE);
        const bool ok = updater::ParseDerSignature(row.der.data(), row.der.size(), rs);
        EXPECT_EQ(ok, !row.rs.empty()) << row.name;
        if (ok) {
            EXPECT_EQ(Bytes(rs.begin(), rs.end()), row.rs) << row.name;
        }
    }
}

TEST(FileSignatureTest, CngVerifiesOpensslSignatures) {
    const fs::path keys = VORNADEL_TEST_KEY_DIR;
    const updater::PublicKey keyA{{VORNADEL_UPDATE_KEY_BYTES}};
    const fs::path signedFile = keys / L"signed.bin";
    const Bytes body = ReadBytes(signedFile), sigA = ReadBytes(keys / L"signed.bin.sig");
    ASSERT_GT(body.size(), 100000u);
    ASSERT_FALSE(sigA.empty());
    Bytes changed = body;
    changed[changed.size() / 2] ^= 0x01;
    // r and s swapped: well-formed, yet no signature of this file.
    std::array<unsigned char, 64> rs;
    ASSERT_TRUE(updater::ParseDerSignature(sigA.data(), sigA.size(), rs));
    const Bytes swapped = Sig(Unsigned(Bytes(rs.begin() + 32, rs.end())), Unsigned(Bytes(rs.begin(), rs.begin() + 32)));
    // Both values at their maximum: beyond the curve's order.
    const Bytes outOfRange = Sig(Cat({{0x00}, Fill(32, 0xFF)}), Cat({{0x00}, Fill(32, 0xFF)}));

    struct Row {
        const char* name;
        fs::path file;
        Bytes signature;
        SignatureStatus expected;
    } rows[] = {
        {"valid", signedFile, sigA, SignatureStatus::Valid},
        {"file changed after signing", WriteBytes(L"changed.bin", changed), sigA, SignatureStatus::DoesNotMatch},
        {"signed with key B", signedFile, ReadBytes(keys / L"signed.bin.b.sig"), SignatureStatus::DoesNotMatch},
        {"r and s swapped", signedFile, swapped, SignatureStatus::DoesNotMatch},
        {"values out of range", signedFile, outOfRange, SignatureStatus::DoesNotMatch},
        {"malformed DER", signedFile, Bytes(sigA.begin(), sigA.end() - 1), SignatureStatus::Malformed},
        {"empty signature", signedFile, {}, SignatureStatus::Malformed},
        {"missing file", keys / L"no-such-file.bin", sigA, SignatureStatus::FileUnreadable},
    };
    for (const Row& row : rows) {
        const updater::SignatureResult result = updater::VerifyFileSignature(row.file.wstring(), row.signature, keyA);
        EXPECT_EQ(result.status, row.expected) << row.name << " (error 0x" << std::hex << result.error << ")";
    }
    EXPECT_EQ(updater::VerifyFileSignature((keys / L"missing.bin").wstring(), sigA, keyA).error,
              static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // A point off the curve: Windows refuses to import it, Wine's check fails; never valid.
    updater::PublicKey offCurve = keyA;
    offCurve[63] ^= 0x01;
    EXPECT_NE(updater::VerifyFileSignature(signedFile.wstring(), sigA, offCurve).status, SignatureStatus::Valid);
    fs::remove(rows[1].file);
}

// Offsets of the real test executable's headers, for cutting and patching.
struct Layout {
    size_t ntHeaders, sectionTable, lastSectionEnd;
};
Layout LayoutOf(const Bytes& exe) {
    Layout l{};
    int32_t lfanew;
    std::memcpy(&lfanew, exe.data() + 0x3C, 4);
    l.ntHeaders = static_cast<size_t>(lfanew);
    IMAGE_FILE_HEADER fh;
    std::memcpy(&fh, exe.data() + l.ntHeaders + 4, sizeof(fh));
    l.sectionTable = l.ntHeaders + 24 + fh.SizeOfOptionalHeader;
    for (WORD i = 0; i < fh.NumberOfSections; ++i) {
        IMAGE_SECTION_HEADER sh;
        std::memcpy(&sh, exe.data() + l.sectionTable + i * sizeof(sh), sizeof(sh));
        l.lastSectionEnd = std::max<size_t>(l.lastSectionEnd, size_t{sh.PointerToRawData} + sh.SizeOfRawData);
    }
    return l;
}

TEST(ProgramImageTest, TellsWholeProgramsFromTheRest) {
    wchar_t self[MAX_PATH];
    const Bytes exe = ReadBytes(std::wstring(self, GetModuleFileNameW(nullptr, self, MAX_PATH)));
    ASSERT_GT(exe.size(), 4096u);
    const Layout l = LayoutOf(exe);
    ASSERT_LE(l.lastSectionEnd, exe.size());
    const WORD own = updater::OwnMachine();
    const WORD other = own == IMAGE_FILE_MACHINE_AMD64 ? IMAGE_FILE_MACHINE_I386 : IMAGE_FILE_MACHINE_AMD64;
    EXPECT_EQ(own, sizeof(void*) == 8 ? IMAGE_FILE_MACHINE_AMD64 : IMAGE_FILE_MACHINE_I386);

    auto cut = [&](size_t n) { return Bytes(exe.begin(), exe.begin() + static_cast<ptrdiff_t>(n)); };
    auto patch = [&](size_t at, std::initializer_list<unsigned char> bytes) {
        Bytes b = exe;
        std::copy(bytes.begin(), bytes.end(), b.begin() + static_cast<ptrdiff_t>(at));
        return b;
    };
    const size_t characteristics = l.ntHeaders + 4 + offsetof(IMAGE_FILE_HEADER, Characteristics);
    // Section data placed so that pointer + size wraps around 32 bits.
    const size_t firstSectionSize = l.sectionTable + offsetof(IMAGE_SECTION_HEADER, SizeOfRawData);

    struct Row {
        const wchar_t* name;
        Bytes bytes;
        WORD machine;
        ImageCheck expected;
    } rows[] = {
        {L"whole", exe, own, ImageCheck::Whole},
        {L"other machine", exe, other, ImageCheck::WrongMachine},
        {L"overlay after the last section", Cat({exe, Fill(1000, 0xAB)}), own, ImageCheck::Whole},
        {L"cut in the DOS header", cut(40), own, ImageCheck::Truncated},
        {L"cut before the PE header", cut(l.ntHeaders), own, ImageCheck::Truncated},
        {L"cut in the optional header", cut(l.ntHeaders + 40), own, ImageCheck::Truncated},
        {L"cut in the section table", cut(l.sectionTable + 50), own, ImageCheck::Truncated},
        {L"cut in the last section", cut(l.lastSectionEnd - 1), own, ImageCheck::Truncated},
        {L"section beyond the end", patch(firstSectionSize, {0, 2, 0, 0, 0, 0xFF, 0xFF, 0xFF}), own, ImageCheck::Truncated},
        {L"MZ garbage", Cat({{'M', 'Z'}, Fill(300, 'x')}), own, ImageCheck::NotProgram},
        {L"text", Bytes{'h', 'e', 'l', 'l', 'o'}, own, ImageCheck::NotProgram},
        {L"empty", {}, own, ImageCheck::NotProgram},
        {L"header offset far past the end", patch(0x3C, {0xF0, 0xFF, 0xFF, 0x7F}), own, ImageCheck::NotProgram},
        {L"header offset negative", patch(0x3C, {0, 0, 0, 0x80}), own, ImageCheck::NotProgram},
        {L"PE signature damaged", patch(l.ntHeaders, {'P', 'X'}), own, ImageCheck::NotProgram},
        {L"not marked executable", patch(characteristics, {0x00, 0x00}), own, ImageCheck::NotProgram},
        {L"a DLL", patch(characteristics + 1, {static_cast<unsigned char>(exe[characteristics + 1] | 0x20)}), own,
         ImageCheck::NotProgram},
    };
    int n = 0;
    for (const Row& row : rows) {
        const fs::path file = WriteBytes(L"image" + std::to_wstring(++n) + L".exe", row.bytes);
        EXPECT_EQ(updater::CheckProgramImage(file.wstring(), row.machine), row.expected) << fs::path(row.name).string();
        fs::remove(file);
    }
    EXPECT_EQ(updater::CheckProgramImage(testing_support::TempFolder() + L"\\vornadel-no-such.exe", own),
              ImageCheck::Unreadable);
    EXPECT_EQ(updater::CheckProgramImage(testing_support::TempFolder(), own), ImageCheck::Unreadable);
}

}  // namespace
