#include "service/crypto/encrypt_file.h"

#include <pwd.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <vector>

#include "host/date_time.h"
#include "platform/atomic_file.h"
#include "platform/byte_reader.h"
#include "service/crypto/crypt.h"

namespace plb {
namespace {

constexpr uint16_t kMagic = 0xBCBC;
constexpr uint16_t kVersion = 0xA001;
constexpr size_t kTagField = 128;
constexpr size_t kMaxTag = 127;
// Only this program reads its own files, so any fixed value serves.
constexpr std::string_view kIv("PlbLcIv8", 8);

TCryptCBC MakeDriver(std::string_view key) {
  return TCryptCBC(std::make_unique<TBlowFish>(), key, TPaddingMode::kCount, kIv);
}

template <typename T>
void PutLe(std::string& out, size_t at, T value) {
  std::memcpy(out.data() + at, &value, sizeof value);  // x86-64 and aarch64 are little-endian
}

std::string Header(uint64_t length, const std::string& tag) {
  std::string header(kEncryptedHeaderSize, '\0');
  PutLe<uint16_t>(header, 0, kMagic);
  PutLe<uint16_t>(header, 2, kVersion);
  PutLe<int64_t>(header, 16, static_cast<int64_t>(length));
  PutLe<double>(header, 24, Now());
  const std::string cut = tag.substr(0, kMaxTag);
  header[32] = static_cast<char>(cut.size());
  std::memcpy(header.data() + 33, cut.data(), cut.size());
  return header;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

std::string EncipherStream(std::string_view plain, std::string_view key) {
  return MakeDriver(key).Encipher(plain);
}

std::string DecipherStream(std::string_view enciphered, std::string_view key) {
  return MakeDriver(key).Decipher(enciphered);
}

bool SaveEncryptedFile(std::string_view plain, const std::string& path, const std::string& type_tag,
                       std::string_view key) {
  if (plain.empty()) return false;
  const std::string body = EncipherStream(plain, key);
  WriteFileAtomically(path, Header(body.size(), type_tag) + body, 0600);
  return true;
}

TEncryptedFileContent LoadEncryptedFile(const std::string& path, std::string_view key) {
  TEncryptedFileContent content;
  std::string bytes;
  if (!ReadWholeFile(path, bytes) || bytes.size() < kEncryptedHeaderSize) return content;
  try {
    ByteReader reader(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
    if (reader.U16() != kMagic || reader.U16() != kVersion) return content;
    reader.Skip(12);
    const int64_t length = reader.I64();
    content.time_written = reader.F64();
    const size_t tag_length = reader.U8();
    if (tag_length > kMaxTag) return content;
    content.type_tag = reader.Text(tag_length);
    reader.Seek(kEncryptedHeaderSize);
    if (length <= 0) return content;
    // The stored length is checked against what the file holds before anything is read by it.
    if (static_cast<uint64_t>(length) != reader.Remaining()) return content;
    content.plain = DecipherStream(reader.Text(static_cast<uint64_t>(length)), key);
    content.loaded = true;
  } catch (const std::exception&) {
    content.plain.clear();
    content.loaded = false;
  }
  return content;
}

std::string LocalCopyKeyFor(const std::string& computer, const std::string& user) {
  const std::string host = computer.empty() ? "Unknown" : computer.substr(0, 15);
  const std::string login = user.empty() ? "Unknown" : user;
  return "PB<" + host + "|" + login + ">";
}

std::string LocalCopyKey() {
  char host[256] = {};
  std::string computer;
  if (gethostname(host, sizeof host - 1) == 0) computer = host;
  std::string user;
  struct passwd entry {};
  struct passwd* found = nullptr;
  std::vector<char> buffer(16384);
  if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
    user = found->pw_name;
  return LocalCopyKeyFor(computer, user);
}

}  // namespace plb
