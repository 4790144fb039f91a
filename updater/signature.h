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

enum class SignatureStatus { Valid, Malformed, DoesNotMatch, FileUnreadable, SystemError };

struct SignatureResult {
    SignatureStatus status = SignatureStatus::SystemError;
    DWORD error = 0;  // Win32 error or NTSTATUS behind FileUnreadable / SystemError
};

// SHA-256 over the file's exact bytes (streamed), then ECDSA P-256 verify, all
// through the system's CNG (bcrypt): BCryptOpenAlgorithmProvider, BCryptCreateHash /
// BCryptHashData / BCryptFinishHash (not BCryptHash: Windows 7 has no BCryptHash),
// BCryptImportKeyPair with BCRYPT_ECCPUBLIC_BLOB, BCryptVerifySignature with raw r||s.
SignatureResult VerifyFileSignature(const std::wstring& file, const std::vector<unsigned char>& derSignature,
                                    const PublicKey& key);

}  // namespace updater
