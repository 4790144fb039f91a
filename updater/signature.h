// Checks that a downloaded file carries the publisher's ECDSA P-256 signature,
// with nothing but the system's own CNG.
#pragma once
#include <windows.h>

#include <array>
#include <string>
#include <vector>

namespace updater {

// An ECDSA P-256 public key as its raw X||Y point (big-endian, 32 + 32 bytes).
using PublicKey = std::array<unsigned char, 64>;

// A signature file longer than this is refused unread.
constexpr size_t kMaxSignatureFileBytes = 72;

// DER SEQUENCE { INTEGER r, INTEGER s } as openssl dgst -sign writes it -> r||s,
// each left-padded to 32 bytes. Strict: wrong tags, overrunning or non-minimal
// lengths, trailing bytes, negative or zero integers, integers longer than 33 bytes
// (or 33 without a needed leading zero), input over kMaxSignatureFileBytes: false.
bool ParseDerSignature(const unsigned char* data, size_t size, std::array<unsigned char, 64>& rs);

using Digest = std::array<unsigned char, 32>;

// SHA-256 of a file's exact bytes, streamed through the system's CNG from the
// start of the open file (BCryptCreateHash / BCryptHashData / BCryptFinishHash:
// Windows 7 has no BCryptHash). 0, or the Win32 error or CNG status that stopped it.
DWORD Sha256OfFile(HANDLE file, Digest& digest);

enum class SignatureStatus { Valid, Malformed, DoesNotMatch, SystemError };

struct SignatureResult {
    SignatureStatus status = SignatureStatus::SystemError;
    DWORD error = 0;  // the CNG status behind SystemError
};

// ECDSA P-256 verify of a SHA-256 digest through CNG: BCryptImportKeyPair with
// BCRYPT_ECCPUBLIC_BLOB, BCryptVerifySignature with raw r||s.
SignatureResult VerifySignature(const Digest& sha256, const std::vector<unsigned char>& derSignature,
                                const PublicKey& key);

}  // namespace updater
