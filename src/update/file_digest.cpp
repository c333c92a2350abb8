#include "update/file_digest.h"

#include <openssl/evp.h>

#include <array>
#include <cstdio>
#include <memory>

namespace torvane {

std::string fileSha256(const std::string& path) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), std::fclose);
    const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    if (!file || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) return {};

    std::array<unsigned char, 64 * 1024> buffer{};
    for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), file.get())) > 0;) {
        if (EVP_DigestUpdate(context.get(), buffer.data(), n) != 1) return {};
    }
    if (std::ferror(file.get())) return {};

    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1) return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string text;
    for (unsigned int i = 0; i < length; ++i) {
        text += kHex[digest[i] >> 4];
        text += kHex[digest[i] & 0xF];
    }
    return text;
}

}  // namespace torvane
