// SHA-256 digests, through OpenSSL's libcrypto: a library every
// distribution keeps up to date, rather than code of the project's own.

#include <openssl/evp.h>

#include "platform/system_platform.h"

namespace platform {

Digest SystemPlatform::OpenDigest() {
  EVP_MD_CTX* context = EVP_MD_CTX_new();
  if (context != nullptr &&
      EVP_DigestInit_ex(context, EVP_sha256(), nullptr) != 1) {
    EVP_MD_CTX_free(context);
    context = nullptr;
  }
  return reinterpret_cast<Digest>(context);
}

bool SystemPlatform::AddToDigest(Digest digest, const char* bytes, long size) {
  return EVP_DigestUpdate(reinterpret_cast<EVP_MD_CTX*>(digest), bytes,
                          static_cast<std::size_t>(size)) == 1;
}

std::string SystemPlatform::FinishDigest(Digest digest) {
  EVP_MD_CTX* context = reinterpret_cast<EVP_MD_CTX*>(digest);
  unsigned char value[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  std::string hex;
  if (EVP_DigestFinal_ex(context, value, &length) == 1) {
    for (unsigned int i = 0; i < length; ++i) {
      hex += "0123456789abcdef"[value[i] >> 4];
      hex += "0123456789abcdef"[value[i] & 0xF];
    }
  }
  EVP_MD_CTX_free(context);
  return hex;
}

}  // namespace platform
