// CNG verification of openssl's signatures.
#include <gtest/gtest.h>

#include <fstream>

#include "test_update_key.h"
#include "tests/support/testing.h"
#include "updater/signature.h"

using testing_support::ReadFileBytes;
using Bytes = std::vector<unsigned char>;
using updater::SignatureStatus;

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

    EXPECT_EQ(updater::VerifyFileSignature(signedFile, sigA, keyA).status, SignatureStatus::Valid);
    EXPECT_EQ(updater::VerifyFileSignature(changedFile, sigA, keyA).status, SignatureStatus::DoesNotMatch);
    EXPECT_EQ(updater::VerifyFileSignature(signedFile, sigB, keyA).status, SignatureStatus::DoesNotMatch);
    DeleteFileW(changedFile.c_str());
}
