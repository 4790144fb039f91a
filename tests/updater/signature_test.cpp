// The DER parser, CNG verification of openssl's signatures, and the whole-program check.
#include <gtest/gtest.h>

#include <fstream>

#include "test_update_key.h"
#include "tests/support/testing.h"
#include "updater/program_image.h"
#include "updater/signature.h"

namespace {

using testing_support::ReadFileBytes;
using Bytes = std::vector<unsigned char>;
using updater::ImageCheck;
using updater::SignatureStatus;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Tlv(unsigned char tag, const Bytes& v) { return Cat({{tag, static_cast<unsigned char>(v.size())}, v}); }
Bytes Int(const Bytes& v) { return Tlv(0x02, v); }
Bytes Seq(const Bytes& content) { return Tlv(0x30, content); }
Bytes Sig(const Bytes& r, const Bytes& s) { return Seq(Cat({Int(r), Int(s)})); }

TEST(DerSignatureTest, ParsesOnlyStrictDer) {
    const Bytes hi(32, 0x80), ff(32, 0xFF), r32(32, 0x11), s32(32, 0x22);
    const struct Row { const char* name; Bytes der, rs; } rows[] = {  // rs empty: refused
        {"the longest: both high bits behind a zero", Sig(Cat({{0}, hi}), Cat({{0}, ff})), Cat({hi, ff})},
        {"short integers are left-padded", Sig({0x05}, Bytes(31, 0x33)), Cat({Bytes(31, 0), {5, 0}, Bytes(31, 0x33)})},
        {"empty input", {}, {}},
        {"wrong outer tag", Tlv(0x31, Cat({Int(r32), Int(s32)})), {}},
        {"long-form outer length", Cat({{0x30, 0x81, 68}, Int(r32), Int(s32)}), {}},
        {"outer length overruns", Cat({{0x30, 69}, Int(r32), Int(s32)}), {}},
        {"trailing byte after the sequence", Cat({Sig(r32, s32), {0x00}}), {}},
        {"trailing byte inside the sequence", Seq(Cat({Int(r32), Int(s32), {0x00}})), {}},
        {"wrong integer tag", Seq(Cat({Tlv(0x03, r32), Int(s32)})), {}},
        {"long-form integer length", Seq(Cat({{0x02, 0x81, 32}, r32, Int(s32)})), {}},
        {"zero-length integer", Seq(Cat({{0x02, 0x00}, Int(s32)})), {}},
        {"inner length overruns", Seq(Cat({Int(r32), {0x02, 34}, s32})), {}},
        {"negative integer", Sig(hi, s32), {}},
        {"zero integer", Sig({0x00}, s32), {}},
        {"33 bytes without a high bit to protect", Sig(Cat({{0x00}, r32}), s32), {}},
        {"33 bytes without a leading zero", Sig(Cat({{0x01}, r32}), s32), {}},
    };
    for (const Row& row : rows) {
        std::array<unsigned char, 64> rs{};
        const bool ok = updater::ParseDerSignature(row.der.data(), row.der.size(), rs);
        EXPECT_EQ(ok ? Bytes(rs.begin(), rs.end()) : Bytes{}, row.rs) << row.name;
    }
}

TEST(FileSignatureTest, CngVerifiesOpensslSignatures) {
    const std::wstring signedFile = VORNADEL_TEST_KEY_DIR L"\\signed.bin";
    const std::wstring changedFile = testing_support::TempFolder() + L"\\vornadel-sigtest.bin";
    const updater::PublicKey keyA{{VORNADEL_UPDATE_KEY_BYTES}};
    const std::string a = ReadFileBytes(signedFile + L".sig"), b = ReadFileBytes(signedFile + L".b.sig");
    const Bytes sigA(a.begin(), a.end()), sigB(b.begin(), b.end()), maxed = Cat({{0x00}, Bytes(32, 0xFF)});
    std::string changed = ReadFileBytes(signedFile);
    ASSERT_GT(changed.size(), 100000u);
    changed[changed.size() / 2] ^= 0x01;
    std::ofstream(changedFile.c_str(), std::ios::binary | std::ios::trunc) << changed;

    const struct Row { const char* name; std::wstring file; Bytes signature; SignatureStatus expected; } rows[] = {
        {"valid", signedFile, sigA, SignatureStatus::Valid},
        {"file changed after signing", changedFile, sigA, SignatureStatus::DoesNotMatch},
        {"signed with key B", signedFile, sigB, SignatureStatus::DoesNotMatch},
        // Beyond the curve's order, which CNG refuses as a parameter.
        {"values out of range", signedFile, Sig(maxed, maxed), SignatureStatus::DoesNotMatch},
        {"malformed DER", signedFile, Bytes(sigA.begin(), sigA.end() - 1), SignatureStatus::Malformed},
        {"missing file", VORNADEL_TEST_KEY_DIR L"\\no-such-file.bin", sigA, SignatureStatus::FileUnreadable},
    };
    for (const Row& row : rows) {
        const updater::SignatureResult result = updater::VerifyFileSignature(row.file, row.signature, keyA);
        EXPECT_EQ(result.status, row.expected) << row.name << " (error 0x" << std::hex << result.error << ")";
    }
    EXPECT_EQ(updater::VerifyFileSignature(rows[5].file, sigA, keyA).error, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    // A point off the curve: Windows refuses to import it, Wine's check fails; never valid.
    updater::PublicKey offCurve = keyA;
    offCurve[63] ^= 0x01;
    EXPECT_NE(updater::VerifyFileSignature(signedFile, sigA, offCurve).status, SignatureStatus::Valid);
    DeleteFileW(changedFile.c_str());
}

TEST(ProgramImageTest, TellsWholeProgramsFromTheRest) {
    wchar_t self[MAX_PATH];
    const std::string exe = ReadFileBytes({self, GetModuleFileNameW(nullptr, self, MAX_PATH)});
    ASSERT_GT(exe.size(), 4096u);
    const LONG ntAt = *reinterpret_cast<const LONG*>(exe.data() + 0x3C);
    const auto* header = reinterpret_cast<const IMAGE_FILE_HEADER*>(exe.data() + ntAt + 4);
    const size_t tableAt = ntAt + 24 + header->SizeOfOptionalHeader;
    const WORD own = updater::OwnMachine();
    const size_t flags = ntAt + 4 + offsetof(IMAGE_FILE_HEADER, Characteristics);
    const auto patch = [&](size_t at, const std::string& b) { return std::string(exe).replace(at, b.size(), b); };

    const struct Row { const char* name; std::string bytes; WORD machine; ImageCheck expected; } rows[] = {
        {"whole", exe, own, ImageCheck::Whole},
        {"other machine", exe, IMAGE_FILE_MACHINE_ARM64, ImageCheck::WrongMachine},
        {"overlay after the last section", exe + std::string(1000, '\xAB'), own, ImageCheck::Whole},
        // The first section's pointer + size wraps around 32 bits.
        {"section beyond the end", patch(tableAt + 16, {0, 2, 0, 0, 0, -1, -1, -1}), own, ImageCheck::Truncated},
        {"text", "hello", own, ImageCheck::NotProgram},
        {"empty", "", own, ImageCheck::NotProgram},
        {"header offset negative", patch(0x3C, {0, 0, 0, '\x80'}), own, ImageCheck::NotProgram},
        {"PE signature damaged", patch(ntAt, "PX"), own, ImageCheck::NotProgram},
        {"not marked executable", patch(flags, {0, 0}), own, ImageCheck::NotProgram},
        {"a DLL", patch(flags + 1, {static_cast<char>(exe[flags + 1] | 0x20)}), own, ImageCheck::NotProgram},
    };
    const std::wstring file = testing_support::TempFolder() + L"\\vornadel-sigtest.exe";
    for (const Row& row : rows) {
        std::ofstream(file.c_str(), std::ios::binary | std::ios::trunc) << row.bytes;
        EXPECT_EQ(updater::CheckProgramImage(file, row.machine), row.expected) << row.name;
    }
    DeleteFileW(file.c_str());
    EXPECT_EQ(updater::CheckProgramImage(file, own), ImageCheck::Unreadable);
}

}  // namespace
