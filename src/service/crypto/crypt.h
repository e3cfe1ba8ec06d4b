#pragma once
// The stream driver over a block cipher: padding of the last block and cipher-block chaining.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "service/crypto/cipher.h"

namespace plb {

// How the last, partial block is filled before enciphering.
enum class TPaddingMode : uint8_t {
  kCount = 0,   // every free byte holds the number of free bytes (a whole block when none are free)
  kMarker = 1,  // 0x80, then zero bytes
  kZeros = 2,   // zero bytes
  kBlanks = 3,  // blanks
  kNone = 4,    // a partial last block stays as it is
};

class TCrypt {
 public:
  // The driver keys the cipher with the key's bytes.
  TCrypt(std::unique_ptr<TCipher> cipher, std::string_view key, TPaddingMode padding, std::string_view iv);
  virtual ~TCrypt() = default;

  // Processes a whole input from its start. Decipher throws ECryptError for damaged input: a
  // length that is not whole blocks, or a padding that does not check out.
  std::string Encipher(std::string_view plain);
  std::string Decipher(std::string_view enciphered);

 protected:
  virtual void EncipherChained(uint8_t* block) = 0;
  virtual void DecipherChained(uint8_t* block) = 0;
  void Reset();
  void ApplyPadding(std::string& last_block, size_t data_bytes) const;
  size_t StripPadding(const std::string& data) const;  // bytes to keep

  std::unique_ptr<TCipher> cipher_;
  TPaddingMode padding_;
  std::vector<uint8_t> iv_;
  std::vector<uint8_t> chain_;
  size_t block_ = 8;
};

// C_i = E(P_i xor C_(i-1)), C_0 = the initialisation vector.
class TCryptCBC : public TCrypt {
 public:
  using TCrypt::TCrypt;

 protected:
  void EncipherChained(uint8_t* block) override;
  void DecipherChained(uint8_t* block) override;
};

}  // namespace plb
