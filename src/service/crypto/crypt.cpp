#include "service/crypto/crypt.h"

#include <algorithm>
#include <cstring>

#include "service/crypto/crypt_error.h"

namespace plb {

TCrypt::TCrypt(std::unique_ptr<TCipher> cipher, std::string_view key, TPaddingMode padding, std::string_view iv)
    : cipher_(std::move(cipher)), padding_(padding) {
  block_ = static_cast<size_t>(cipher_->BlockSize());
  cipher_->SetKey(reinterpret_cast<const uint8_t*>(key.data()), key.size());
  iv_.assign(block_, 0);
  std::copy_n(iv.begin(), std::min(iv.size(), block_), iv_.begin());
  chain_ = iv_;
}

void TCrypt::Reset() {
  chain_ = iv_;
}

void TCrypt::ApplyPadding(std::string& last, size_t data_bytes) const {
  const size_t free_bytes = block_ - data_bytes;
  last.resize(data_bytes);
  switch (padding_) {
    case TPaddingMode::kCount:
      last.append(free_bytes, static_cast<char>(free_bytes));
      break;
    case TPaddingMode::kMarker:
      last.push_back(static_cast<char>(0x80));
      last.append(free_bytes - 1, '\0');
      break;
    case TPaddingMode::kZeros:
      last.append(free_bytes, '\0');
      break;
    case TPaddingMode::kBlanks:
      last.append(free_bytes, ' ');
      break;
    case TPaddingMode::kNone:
      break;
  }
}

size_t TCrypt::StripPadding(const std::string& data) const {
  size_t keep = data.size();
  switch (padding_) {
    case TPaddingMode::kCount: {
      // Every enciphering adds 1 to block-size bytes, so anything else is damage, not a length.
      if (data.empty()) throw ECryptError("Crypt Error");
      const size_t count = static_cast<uint8_t>(data.back());
      if (count == 0 || count > block_ || count > data.size()) throw ECryptError("Crypt Error");
      return data.size() - count;
    }
    case TPaddingMode::kMarker:
      while (keep > 0 && data[keep - 1] == '\0') --keep;
      if (keep == 0 || static_cast<uint8_t>(data[keep - 1]) != 0x80) throw ECryptError("Crypt Error");
      return keep - 1;
    case TPaddingMode::kZeros:
      while (keep > 0 && data[keep - 1] == '\0') --keep;
      return keep;
    case TPaddingMode::kBlanks:
      while (keep > 0 && data[keep - 1] == ' ') --keep;
      return keep;
    case TPaddingMode::kNone:
      return keep;
  }
  return keep;
}

std::string TCrypt::Encipher(std::string_view plain) {
  Reset();
  std::string out;
  const size_t whole = plain.size() / block_ * block_;
  out.reserve(whole + block_);
  for (size_t at = 0; at < whole; at += block_) {
    std::string block(plain.substr(at, block_));
    EncipherChained(reinterpret_cast<uint8_t*>(block.data()));
    out += block;
  }
  std::string last(plain.substr(whole));
  if (padding_ == TPaddingMode::kNone) {
    out += last;  // a partial block is copied through
    return out;
  }
  ApplyPadding(last, last.size());
  EncipherChained(reinterpret_cast<uint8_t*>(last.data()));
  return out + last;
}

std::string TCrypt::Decipher(std::string_view enciphered) {
  Reset();
  if (padding_ != TPaddingMode::kNone && enciphered.size() % block_ != 0) throw ECryptError("Crypt Error");
  std::string out;
  const size_t whole = enciphered.size() / block_ * block_;
  out.reserve(enciphered.size());
  for (size_t at = 0; at < whole; at += block_) {
    std::string block(enciphered.substr(at, block_));
    DecipherChained(reinterpret_cast<uint8_t*>(block.data()));
    out += block;
  }
  out += enciphered.substr(whole);
  out.resize(StripPadding(out));
  return out;
}

void TCryptCBC::EncipherChained(uint8_t* block) {
  for (size_t i = 0; i < block_; ++i) chain_[i] ^= block[i];
  cipher_->EncipherBlock(chain_.data());
  std::memcpy(block, chain_.data(), block_);
}

void TCryptCBC::DecipherChained(uint8_t* block) {
  std::vector<uint8_t> incoming(block, block + block_);
  cipher_->DecipherBlock(block);
  for (size_t i = 0; i < block_; ++i) block[i] ^= chain_[i];
  chain_ = std::move(incoming);
}

}  // namespace plb
