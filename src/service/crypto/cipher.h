#pragma once
// A 64-bit block cipher and the Blowfish cipher that the enciphered local copy uses.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace plb {

// An abstract 64-bit block cipher. A block travels as bytes; the cipher works on two 32-bit words,
// and each cipher decides how bytes become words.
class TCipher {
 public:
  virtual ~TCipher() = default;
  virtual std::string Name() const = 0;
  virtual int BlockSize() const = 0;
  virtual void SetKey(const uint8_t* key, size_t length);
  virtual void EncipherWords(uint32_t& left, uint32_t& right) const = 0;
  virtual void DecipherWords(uint32_t& left, uint32_t& right) const = 0;
  virtual void WordsToBytes(uint32_t left, uint32_t right, uint8_t* bytes) const;
  virtual void BytesToWords(const uint8_t* bytes, uint32_t& left, uint32_t& right) const;

  // One 8-byte block in place.
  void EncipherBlock(uint8_t* block) const;
  void DecipherBlock(uint8_t* block) const;
};

class TBlowFish : public TCipher {
 public:
  TBlowFish();
  std::string Name() const override { return "BlowFish"; }
  int BlockSize() const override { return 8; }
  // Throws ECryptError for an empty key: Blowfish has no schedule for it.
  void SetKey(const uint8_t* key, size_t length) override;
  void EncipherWords(uint32_t& left, uint32_t& right) const override;
  void DecipherWords(uint32_t& left, uint32_t& right) const override;
  // Blowfish reads its block as two big-endian words, the left half first.
  void WordsToBytes(uint32_t left, uint32_t right, uint8_t* bytes) const override;
  void BytesToWords(const uint8_t* bytes, uint32_t& left, uint32_t& right) const override;

 private:
  uint32_t F(uint32_t x) const;

  std::array<uint32_t, 18> p_;
  std::array<std::array<uint32_t, 256>, 4> s_;
};

}  // namespace plb
