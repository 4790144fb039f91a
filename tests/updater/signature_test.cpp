#include <gtest/gtest.h>

#include <string>

#include "test_update_key.h"
#include "updater/program_image.h"
#include "updater/signature.h"

namespace {

TEST(SignatureTest, KeyFolderIsVisible) {
    EXPECT_NE(GetFileAttributesW((std::wstring(VORNADEL_TEST_KEY_DIR) + L"\\a-pub.pem").c_str()),
              INVALID_FILE_ATTRIBUTES);
    updater::PublicKey key{{VORNADEL_UPDATE_KEY_BYTES}};
    EXPECT_NE(key[0] | key[63], 0);
}

}  // namespace
