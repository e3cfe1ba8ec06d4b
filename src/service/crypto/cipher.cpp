#include "service/crypto/cipher.h"

#include <algorithm>
#include <cstring>

#include "service/crypto/blowfish_tables.h"
#include "service/crypto/crypt_error.h"

namespace plb {

void TCipher::SetKey(const uint8_t*, size_t) {}

void TCipher::WordsToBytes(uint32_t left, uint32_t right, uint8_t* bytes) const {
  std::memcpy(bytes, &left, 4);
  std::memcpy(bytes + 4, &right, 4);
}

void TCipher::BytesToWords(const uint8_t* bytes, uint32_t& left, uint32_t& right) const {
  std::memcpy(&left, bytes, 4);
  std::memcpy(&right, bytes + 4, 4);
}

void TCipher::EncipherBlock(uint8_t* block) const {
  uint32_t left = 0, right = 0;
  BytesToWords(block, left, right);
  EncipherWords(left, right);
  WordsToBytes(left, right, block);
}

void TCipher::DecipherBlock(uint8_t* block) const {
  uint32_t left = 0, right = 0;
  BytesToWords(block, left, right);
  DecipherWords(left, right);
  WordsToBytes(left, right, block);
}

TBlowFish::TBlowFish() {
  std::copy(std::begin(blowfish::kInitialP), std::end(blowfish::kInitialP), p_.begin());
  const uint32_t* boxes[4] = {blowfish::kInitialS0, blowfish::kInitialS1, blowfish::kInitialS2, blowfish::kInitialS3};
  for (int b = 0; b < 4; ++b) std::copy(boxes[b], boxes[b] + 256, s_[b].begin());
}

uint32_t TBlowFish::F(uint32_t x) const {
  return ((s_[0][x >> 24] + s_[1][(x >> 16) & 0xff]) ^ s_[2][(x >> 8) & 0xff]) + s_[3][x & 0xff];
}

void TBlowFish::EncipherWords(uint32_t& left, uint32_t& right) const {
  uint32_t l = left, r = right;
  for (int i = 0; i < 16; ++i) {
    l ^= p_[i];
    r ^= F(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= p_[16];
  l ^= p_[17];
  left = l;
  right = r;
}

void TBlowFish::DecipherWords(uint32_t& left, uint32_t& right) const {
  uint32_t l = left, r = right;
  for (int i = 17; i > 1; --i) {
    l ^= p_[i];
    r ^= F(l);
    std::swap(l, r);
  }
  std::swap(l, r);
  r ^= p_[1];
  l ^= p_[0];
  left = l;
  right = r;
}

void TBlowFish::SetKey(const uint8_t* key, size_t length) {
  if (length == 0) throw ECryptError("Crypt Error: empty key");
  *this = TBlowFish();
  size_t k = 0;
  for (auto& entry : p_) {
    uint32_t word = 0;
    for (int i = 0; i < 4; ++i) {
      word = (word << 8) | key[k];
      k = (k + 1) % length;
    }
    entry ^= word;
  }
  uint32_t l = 0, r = 0;
  for (size_t i = 0; i < p_.size(); i += 2) {
    EncipherWords(l, r);
    p_[i] = l;
    p_[i + 1] = r;
  }
  for (auto& box : s_) {
    for (size_t i = 0; i < box.size(); i += 2) {
      EncipherWords(l, r);
      box[i] = l;
      box[i + 1] = r;
    }
  }
}

void TBlowFish::WordsToBytes(uint32_t left, uint32_t right, uint8_t* bytes) const {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<uint8_t>(left >> (24 - 8 * i));
    bytes[4 + i] = static_cast<uint8_t>(right >> (24 - 8 * i));
  }
}

void TBlowFish::BytesToWords(const uint8_t* bytes, uint32_t& left, uint32_t& right) const {
  left = right = 0;
  for (int i = 0; i < 4; ++i) {
    left = (left << 8) | bytes[i];
    right = (right << 8) | bytes[4 + i];
  }
}

}  // namespace plb
