// The DER parser and CNG verification of openssl's signatures.
#include <gtest/gtest.h>

#include <fstream>

#include "test_update_key.h"
#include "tests/support/testing.h"
#include "updater/signature.h"

namespace {

using testing_support::ReadFileBytes;
using Bytes = std::vector<unsigned char>;
using updater::SignatureStatus;

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
Bytes Int(const Bytes& v) { return Cat({{0x02, static_cast<unsigned char>(v.size())}, v}); }
Bytes Seq(const Bytes& content) { return Cat({{0x30, static_cast<unsigned char>(content.size())}, content}); }

// What tests/soak/parser_fuzz_test.cpp cannot make by mutating a valid encoding.
TEST(DerSignatureTest, RefusesWhatIsNotStrictDer) {
    const Bytes r32(32, 0x11), s = Int(Bytes(32, 0x22));
    const std::pair<const char*, Bytes> rows[] = {
        {"long-form outer length", Cat({{0x30, 0x81, 68}, Int(r32), s})},
        {"trailing byte inside the sequence", Seq(Cat({Int(r32), s, {0x00}}))},
        {"long-form integer length", Seq(Cat({{0x02, 0x81, 32}, r32, s}))},
        {"zero-length integer", Seq(Cat({{0x02, 0x00}, s}))},
        {"negative integer", Seq(Cat({Int(Bytes(32, 0x80)), s}))},
        {"zero integer", Seq(Cat({Int({0x00}), s}))},
        {"33 bytes without a high bit to protect", Seq(Cat({Int(Cat({{0x00}, r32})), s}))},
        {"33 bytes without a leading zero", Seq(Cat({Int(Cat({{0x01}, r32})), s}))},
    };
    for (const auto& [name, der] : rows) {
        std::array<unsigned char, 64> rs{};
        EXPECT_FALSE(updater::ParseDerSignature(der.data(), der.size(), rs)) << name;
    }
}

TEST(FileSignatureTest, CngVerifiesOpensslSignatures) {
    const std::wstring signedFile = VORNADEL_TEST_KEY_DIR L"\\signed.bin";
    const std::wstring changedFile = testing_support::TempFolder() + L"\\vornadel-sigtest.bin";
    const updater::PublicKey keyA{{VORNADEL_UPDATE_KEY_BYTES}};
    const std::string a = ReadFileBytes(signedFile + L".sig"), b = ReadFileBytes(signedFile + L".b.sig");
    const Bytes sigA(a.begin(), a.end()), sigB(b.begin(), b.end());
    std::string changed = ReadFileBytes(signedFile);
    ASSERT_GT(changed.size(), 100000u);
    changed[changed.size() / 2] ^= 0x01;
    std::ofstream(changedFile.c_str(), std::ios::binary | std::ios::trunc) << changed;

    const struct Row { const char* name; std::wstring file; Bytes signature; SignatureStatus expected; } rows[] = {
        {"valid", signedFile, sigA, SignatureStatus::Valid},
        {"file changed after signing", changedFile, sigA, SignatureStatus::DoesNotMatch},
        {"signed with key B", signedFile, sigB, SignatureStatus::DoesNotMatch},
        {"malformed DER", signedFile, Bytes(sigA.begin(), sigA.end() - 1), SignatureStatus::Malformed},
        {"missing file", VORNADEL_TEST_KEY_DIR L"\\no-such-file.bin", sigA, SignatureStatus::FileUnreadable},
    };
    for (const Row& row : rows) {
        const updater::SignatureResult result = updater::VerifyFileSignature(row.file, row.signature, keyA);
        EXPECT_EQ(result.status, row.expected) << row.name << " (error 0x" << std::hex << result.error << ")";
    }
    DeleteFileW(changedFile.c_str());
}

}  // namespace
