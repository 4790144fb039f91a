#include "updater/signature.h"

namespace updater {

bool ParseDerSignature(const unsigned char*, size_t, std::array<unsigned char, 64>&) { return false; }

SignatureResult VerifyFileSignature(const std::wstring&, const std::vector<unsigned char>&, const PublicKey&) {
    return SignatureResult{SignatureStatus::SystemError, ERROR_CALL_NOT_IMPLEMENTED};
}

}  // namespace updater
