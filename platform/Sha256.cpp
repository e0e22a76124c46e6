#include <string>
#include <vector>

#if defined(_WIN32)
#  include <windows.h>
#  include <bcrypt.h>
#else
#  include <openssl/evp.h>
#endif

#include "platform/Platform.h"

namespace platform {

namespace {

std::string Hex(const unsigned char* digest, std::size_t size)
{
    static const char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(size * 2);
    for (std::size_t k = 0; k < size; ++k) {
        text += kDigits[digest[k] >> 4];
        text += kDigits[digest[k] & 0xF];
    }
    return text;
}

}  // namespace

#if defined(_WIN32)

std::string Sha256Hex(const std::string& bytes)
{
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0) != 0)
        return "";
    unsigned char digest[32];
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool done = BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0) == 0;
    done = done && BCryptHashData(hash, reinterpret_cast<PUCHAR>(const_cast<char*>(bytes.data())),
                                  static_cast<ULONG>(bytes.size()), 0) == 0;
    done = done && BCryptFinishHash(hash, digest, sizeof(digest), 0) == 0;
    if (hash != nullptr)
        BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    return done ? Hex(digest, sizeof(digest)) : "";
}

#else

std::string Sha256Hex(const std::string& bytes)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest, &size, EVP_sha256(), nullptr) != 1)
        return "";
    return Hex(digest, size);
}

#endif

}  // namespace platform
