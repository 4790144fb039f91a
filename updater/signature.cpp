#include "updater/signature.h"

#include <bcrypt.h>

#include <cstring>

#include "platform/handles.h"

namespace updater {

namespace {

// ntstatus.h clashes with windows.h; the statuses told apart are spelled here.
constexpr NTSTATUS kStatusInvalidSignature = static_cast<NTSTATUS>(0xC000A000L);
constexpr NTSTATUS kStatusInvalidParameter = static_cast<NTSTATUS>(0xC000000DL);
constexpr size_t kCoordinateBytes = 32;
constexpr DWORD kReadPiece = 64 * 1024;

void CloseAlgorithm(BCRYPT_ALG_HANDLE h) { ::BCryptCloseAlgorithmProvider(h, 0); }
using UniqueAlgorithm = plat::Unique<plat::NullHandleTraits<BCRYPT_ALG_HANDLE, CloseAlgorithm>>;
using UniqueHash = plat::Unique<plat::NullHandleTraits<BCRYPT_HASH_HANDLE, ::BCryptDestroyHash>>;
using UniqueKey = plat::Unique<plat::NullHandleTraits<BCRYPT_KEY_HANDLE, ::BCryptDestroyKey>>;

// One DER INTEGER at data[pos] into a 32-byte big-endian field; pos moves past it.
// Only positive values in minimal form that fit 32 bytes are taken.
bool ReadInteger(const unsigned char* data, size_t end, size_t& pos, unsigned char* out) {
    if (end - pos < 2 || data[pos] != 0x02) return false;
    size_t length = data[pos + 1];
    // Every length here fits the short form; the long form would be non-minimal.
    if (length & 0x80 || length == 0 || length > end - pos - 2) return false;
    const unsigned char* value = data + pos + 2;
    if (value[0] & 0x80) return false;  // negative
    if (value[0] == 0) {
        // A leading zero is allowed only to keep a high bit from reading as a sign.
        if (length == 1 || !(value[1] & 0x80)) return false;
        ++value;
        --length;
    }
    if (length > kCoordinateBytes) return false;
    std::memset(out, 0, kCoordinateBytes - length);
    std::memcpy(out + kCoordinateBytes - length, value, length);
    pos = static_cast<size_t>(value - data) + length;
    return true;
}

SignatureResult Outcome(SignatureStatus status, DWORD error = 0) {
    SignatureResult result;
    result.status = status;
    result.error = error;
    return result;
}

SignatureResult CngFailure(NTSTATUS status) { return Outcome(SignatureStatus::SystemError, static_cast<DWORD>(status)); }

}  // namespace

bool ParseDerSignature(const unsigned char* data, size_t size, std::array<unsigned char, 64>& rs) {
    if (!data || size < 2 || size > kMaxSignatureFileBytes) return false;
    if (data[0] != 0x30 || data[1] & 0x80 || size_t{data[1]} != size - 2) return false;
    std::array<unsigned char, 64> parsed{};
    size_t pos = 2;
    if (!ReadInteger(data, size, pos, parsed.data())) return false;
    if (!ReadInteger(data, size, pos, parsed.data() + kCoordinateBytes)) return false;
    if (pos != size) return false;
    rs = parsed;
    return true;
}

DWORD Sha256OfFile(HANDLE file, Digest& digest) {
    LARGE_INTEGER zero{};
    if (!SetFilePointerEx(file, zero, nullptr, FILE_BEGIN)) return GetLastError();
    BCRYPT_ALG_HANDLE handle = nullptr;
    NTSTATUS status = BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(status)) return static_cast<DWORD>(status);
    UniqueAlgorithm sha256(handle);

    // The hash object's memory is ours: Vista's CNG does not allocate it itself.
    DWORD objectLength = 0, written = 0;
    status = BCryptGetProperty(sha256.get(), BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                               sizeof(objectLength), &written, 0);
    if (!BCRYPT_SUCCESS(status)) return static_cast<DWORD>(status);
    std::vector<unsigned char> hashObject(objectLength);
    BCRYPT_HASH_HANDLE hashHandle = nullptr;
    status = BCryptCreateHash(sha256.get(), &hashHandle, hashObject.data(), objectLength, nullptr, 0, 0);
    if (!BCRYPT_SUCCESS(status)) return static_cast<DWORD>(status);
    UniqueHash hash(hashHandle);

    std::vector<unsigned char> piece(kReadPiece);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, piece.data(), kReadPiece, &got, nullptr)) return GetLastError();
        if (got == 0) break;
        status = BCryptHashData(hash.get(), piece.data(), got, 0);
        if (!BCRYPT_SUCCESS(status)) return static_cast<DWORD>(status);
    }
    status = BCryptFinishHash(hash.get(), digest.data(), static_cast<ULONG>(digest.size()), 0);
    return BCRYPT_SUCCESS(status) ? 0 : static_cast<DWORD>(status);
}

SignatureResult VerifySignature(const Digest& sha256, const std::vector<unsigned char>& derSignature,
                                const PublicKey& key) {
    std::array<unsigned char, 64> rs;
    if (!ParseDerSignature(derSignature.data(), derSignature.size(), rs)) return Outcome(SignatureStatus::Malformed);

    BCRYPT_ALG_HANDLE handle = nullptr;
    NTSTATUS status = BCryptOpenAlgorithmProvider(&handle, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0);
    if (!BCRYPT_SUCCESS(status)) return CngFailure(status);
    UniqueAlgorithm ecdsa(handle);

    unsigned char blob[sizeof(BCRYPT_ECCKEY_BLOB) + 64];
    BCRYPT_ECCKEY_BLOB header{BCRYPT_ECDSA_PUBLIC_P256_MAGIC, static_cast<ULONG>(kCoordinateBytes)};
    std::memcpy(blob, &header, sizeof(header));
    std::memcpy(blob + sizeof(header), key.data(), key.size());
    BCRYPT_KEY_HANDLE keyHandle = nullptr;
    status = BCryptImportKeyPair(ecdsa.get(), nullptr, BCRYPT_ECCPUBLIC_BLOB, &keyHandle, blob, sizeof(blob), 0);
    if (!BCRYPT_SUCCESS(status)) return CngFailure(status);
    UniqueKey publicKey(keyHandle);

    // CNG takes the digest as input only; the cast is its signature's.
    status = BCryptVerifySignature(publicKey.get(), nullptr, const_cast<PUCHAR>(sha256.data()),
                                   static_cast<ULONG>(sha256.size()), rs.data(), static_cast<ULONG>(rs.size()), 0);
    if (BCRYPT_SUCCESS(status)) return Outcome(SignatureStatus::Valid);
    // Key and digest were taken; a refusal now is about r and s themselves
    // (out of range values are refused as parameters).
    if (status == kStatusInvalidSignature || status == kStatusInvalidParameter)
        return Outcome(SignatureStatus::DoesNotMatch);
    return CngFailure(status);
}

}  // namespace updater
