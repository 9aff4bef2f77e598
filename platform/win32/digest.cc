// SHA-256 digests, through the system's own cryptography (CNG, bcrypt.dll,
// on every Windows since Vista): nothing more to ship, and kept up to date
// by Windows Update.

#include <windows.h>
// After windows.h, which defines the types it uses.
#include <bcrypt.h>

#include <vector>

#include "platform/system_platform.h"

namespace platform {
namespace {

struct Sha256 {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  // Vista wants the hash object's memory from its caller; Windows 7 and
  // later would allocate it themselves.
  std::vector<UCHAR> object;
};

bool Succeeded(NTSTATUS status) { return status >= 0; }

void Release(Sha256* digest) {
  if (digest->hash != nullptr) BCryptDestroyHash(digest->hash);
  if (digest->algorithm != nullptr) {
    BCryptCloseAlgorithmProvider(digest->algorithm, 0);
  }
  delete digest;
}

}  // namespace

Digest SystemPlatform::OpenDigest() {
  auto* digest = new Sha256;
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  DWORD size = 0;
  ULONG written = 0;
  if (Succeeded(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM,
                                            nullptr, 0))) {
    digest->algorithm = algorithm;
    if (Succeeded(BCryptGetProperty(algorithm, BCRYPT_OBJECT_LENGTH,
                                    reinterpret_cast<PUCHAR>(&size),
                                    sizeof size, &written, 0))) {
      digest->object.resize(size);
      if (Succeeded(BCryptCreateHash(algorithm, &hash, digest->object.data(),
                                     size, nullptr, 0, 0))) {
        digest->hash = hash;
        return reinterpret_cast<Digest>(digest);
      }
    }
  }
  Release(digest);
  return nullptr;
}

bool SystemPlatform::AddToDigest(Digest digest, const char* bytes, long size) {
  // CNG takes the bytes through a pointer to non-const, and reads them only.
  return Succeeded(
      BCryptHashData(reinterpret_cast<Sha256*>(digest)->hash,
                     reinterpret_cast<PUCHAR>(const_cast<char*>(bytes)),
                     static_cast<ULONG>(size), 0));
}

std::string SystemPlatform::FinishDigest(Digest digest) {
  auto* sha256 = reinterpret_cast<Sha256*>(digest);
  UCHAR value[32];
  std::string hex;
  if (Succeeded(BCryptFinishHash(sha256->hash, value, sizeof value, 0))) {
    for (UCHAR byte : value) {
      hex += "0123456789abcdef"[byte >> 4];
      hex += "0123456789abcdef"[byte & 0xF];
    }
  }
  Release(sha256);
  return hex;
}

}  // namespace platform
