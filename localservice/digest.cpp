#include "localservice/digest.h"

#include <openssl/evp.h>

#include <cstdio>

namespace plb::localservice {
namespace {

std::string DigestHex(const std::string& bytes, const EVP_MD* kind) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(bytes.data(), bytes.size(), digest, &length, kind, nullptr);
  std::string hex;
  char pair[3];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, "%02x", digest[i]);
    hex += pair;
  }
  return hex;
}

}  // namespace

std::string Md5Hex(const std::string& bytes) {
  return DigestHex(bytes, EVP_md5());
}

std::string Sha256Hex(const std::string& bytes) {
  return DigestHex(bytes, EVP_sha256());
}

}  // namespace plb::localservice
