// Blowfish against the published vectors and openssl, the CBC driver and its paddings, and the
// enciphered container file.
#include "service/crypto/cipher.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

#include "service/crypto/crypt.h"
#include "service/crypto/crypt_error.h"
#include "service/crypto/encrypt_file.h"
#include "support/test_env.h"
#include "support/test_files.h"

namespace plb {
namespace {

using test::ReadFile;
using test::WriteFile;

std::string FromHex(const std::string& hex) {
  std::string out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    out.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return out;
}

std::string ToHex(const std::string& bytes) {
  static const char* digits = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

std::string EncipherEcb(const std::string& key, const std::string& plain) {
  TBlowFish fish;
  fish.SetKey(reinterpret_cast<const uint8_t*>(key.data()), key.size());
  std::string block = plain;
  fish.EncipherBlock(reinterpret_cast<uint8_t*>(block.data()));
  return block;
}

// openssl as an independent oracle: the command's output bytes.
std::string RunOpenssl(const std::string& arguments, const std::string& input) {
  const std::string in = test::TestRoot() + "/openssl.in";
  const std::string out = test::TestRoot() + "/openssl.out";
  WriteFile(in, input);
  const std::string command =
      "openssl " + arguments + " -provider legacy -provider default -in '" + in + "' -out '" + out + "' 2>/dev/null";
  if (std::system(command.c_str()) != 0) return "<openssl failed>";
  return ReadFile(out);
}

struct Vector {
  const char* key;
  const char* plain;
  const char* cipher;
};

// The published Blowfish test vectors (big-endian block words).
const Vector kVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
};

TEST(BlowFish, PublishedVectorsEncipherAndDecipher) {
  for (const Vector& v : kVectors) {
    SCOPED_TRACE(v.key);
    const std::string key = FromHex(v.key);
    EXPECT_EQ(ToHex(EncipherEcb(key, FromHex(v.plain))), v.cipher);
    TBlowFish fish;
    fish.SetKey(reinterpret_cast<const uint8_t*>(key.data()), key.size());
    std::string block = FromHex(v.cipher);
    fish.DecipherBlock(reinterpret_cast<uint8_t*>(block.data()));
    EXPECT_EQ(ToHex(block), v.plain);
  }
}

TEST(BlowFish, AgreesWithOpensslOnVariableKeyLengths) {
  // openssl keys Blowfish with 16 bytes; a key of 1, 2, 4 or 8 bytes cycled is the same as that
  // key repeated to 16 bytes, which openssl accepts.
  const std::string plain = FromHex("FEDCBA9876543210");
  for (const char* hex : {"F0", "F0E1", "F0E1D2C3", "F0E1D2C3B4A59687", "F0E1D2C3B4A5968778695A4B3C2D1E0F"}) {
    SCOPED_TRACE(hex);
    std::string key = FromHex(hex);
    std::string repeated;
    while (repeated.size() < 16) repeated += key;
    EXPECT_EQ(ToHex(EncipherEcb(key, plain)), ToHex(RunOpenssl("enc -bf-ecb -nopad -K " + ToHex(repeated), plain)));
  }
}

TEST(BlowFish, RefusesAnEmptyKey) {
  TBlowFish fish;
  EXPECT_THROW(fish.SetKey(nullptr, 0), ECryptError);
}

TEST(CryptCBC, MatchesOpensslWithCountPaddingOverBlockAndChunkEdges) {
  const std::string key = "0123456789abcdef";
  const std::string iv = "IV-bytes";
  for (size_t length : {0, 1, 7, 8, 9, 8191, 8192, 8193, 16384}) {
    SCOPED_TRACE(length);
    std::string plain;
    for (size_t i = 0; i < length; ++i) plain.push_back(static_cast<char>((i * 131 + 7) & 0xff));
    TCryptCBC crypt(std::make_unique<TBlowFish>(), key, TPaddingMode::kCount, iv);
    const std::string enciphered = crypt.Encipher(plain);
    EXPECT_EQ(enciphered.size(), (length / 8 + 1) * 8);
    EXPECT_EQ(ToHex(enciphered), ToHex(RunOpenssl("enc -bf-cbc -K " + ToHex(key) + " -iv " + ToHex(iv), plain)));
    EXPECT_EQ(crypt.Decipher(enciphered), plain);
  }
}

TEST(CryptCBC, PaddingModes) {
  struct Case {
    TPaddingMode mode;
    std::string plain;
    std::string padded_tail;  // the bytes added to the last block, before enciphering
  };
  const Case cases[] = {
      {TPaddingMode::kMarker, "abc", std::string("\x80\0\0\0\0", 5)},
      {TPaddingMode::kZeros, "abc", std::string(5, '\0')},
      {TPaddingMode::kBlanks, "abc", std::string(5, ' ')},
      {TPaddingMode::kCount, "abcdefgh", std::string(8, '\x08')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    TCryptCBC crypt(std::make_unique<TBlowFish>(), "key", c.mode, "12345678");
    const std::string enciphered = crypt.Encipher(c.plain);
    TCryptCBC raw(std::make_unique<TBlowFish>(), "key", TPaddingMode::kNone, "12345678");
    EXPECT_EQ(raw.Decipher(enciphered), c.plain + c.padded_tail);
    EXPECT_EQ(crypt.Decipher(enciphered), c.plain);
  }
  // No padding: whole blocks are enciphered, a partial last block goes through unchanged.
  TCryptCBC none(std::make_unique<TBlowFish>(), "key", TPaddingMode::kNone, "12345678");
  const std::string enciphered = none.Encipher("0123456789");
  EXPECT_EQ(enciphered.size(), 10u);
  EXPECT_EQ(enciphered.substr(8), "89");
  EXPECT_EQ(none.Decipher(enciphered), "0123456789");
}

TEST(CryptCBC, DamagedInputIsRefusedNotMisread) {
  TCryptCBC marker(std::make_unique<TBlowFish>(), "key", TPaddingMode::kMarker, "12345678");
  TCryptCBC raw(std::make_unique<TBlowFish>(), "key", TPaddingMode::kNone, "12345678");
  EXPECT_THROW(marker.Decipher(raw.Encipher(std::string(8, '\0'))), ECryptError);  // no 0x80 marker

  TCryptCBC count(std::make_unique<TBlowFish>(), "key", TPaddingMode::kCount, "12345678");
  for (const std::string& last_block : {std::string(8, '\0'), std::string(8, '\x09'), std::string(8, '\xff')}) {
    EXPECT_THROW(count.Decipher(raw.Encipher(last_block)), ECryptError);
  }
  EXPECT_THROW(count.Decipher(""), ECryptError);
  EXPECT_THROW(count.Decipher(std::string(12, 'x')), ECryptError);  // not whole blocks
}

TEST(EncipherStream, WholeStreamsRoundTripAndAWrongKeyGivesOtherBytes) {
  EXPECT_EQ(EncipherStream(std::string(16, 'a'), "k").size(), 24u);
  EXPECT_EQ(EncipherStream("", "k").size(), 8u);
  const std::string document = "<plbAppInfo ver=\"1.0\"><baseurl src=\"http://x/\"/></plbAppInfo>";
  EXPECT_EQ(DecipherStream(EncipherStream(document, "key-1"), "key-1"), document);
  std::string other;
  try {
    other = DecipherStream(EncipherStream(document, "key-1"), "key-2");
  } catch (const ECryptError&) {
  }
  EXPECT_NE(other, document);
}

TEST(EncryptedFile, RoundTripWithHeaderAtItsOffsets) {
  const std::string path = test::TestRoot() + "/Config";
  ASSERT_TRUE(SaveEncryptedFile("<doc>ok</doc>", path, "XML", "key"));
  const std::string bytes = ReadFile(path);
  ASSERT_EQ(bytes.size(), kEncryptedHeaderSize + 16);
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xBC);
  EXPECT_EQ(static_cast<uint8_t>(bytes[1]), 0xBC);
  EXPECT_EQ(static_cast<uint8_t>(bytes[2]), 0x01);
  EXPECT_EQ(static_cast<uint8_t>(bytes[3]), 0xA0);
  EXPECT_EQ(bytes.substr(8, 8), std::string(8, '\0'));
  EXPECT_EQ(static_cast<uint8_t>(bytes[16]), 16);
  EXPECT_EQ(bytes.substr(32, 4), std::string("\x03XML", 4));
  EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::all,
            std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);

  const TEncryptedFileContent content = LoadEncryptedFile(path, "key");
  EXPECT_TRUE(content.loaded);
  EXPECT_EQ(content.type_tag, "XML");
  EXPECT_EQ(content.plain, "<doc>ok</doc>");
  EXPECT_GT(content.time_written, 40000.0);
}

TEST(EncryptedFile, LongTagIsCutAndEmptyStreamWritesNothing) {
  const std::string path = test::TestRoot() + "/Config";
  ASSERT_TRUE(SaveEncryptedFile("x", path, std::string(200, 't'), "key"));
  EXPECT_EQ(LoadEncryptedFile(path, "key").type_tag, std::string(127, 't'));
  const std::string empty_path = test::TestRoot() + "/Empty";
  EXPECT_FALSE(SaveEncryptedFile("", empty_path, "XML", "key"));
  EXPECT_FALSE(std::filesystem::exists(empty_path));
}

TEST(EncryptedFile, DamagedFilesFailWithoutThrowing) {
  const std::string path = test::TestRoot() + "/Config";
  ASSERT_TRUE(SaveEncryptedFile("<doc>ok</doc>", path, "XML", "key"));
  const std::string good = ReadFile(path);
  auto with = [&](size_t offset, const std::string& bytes) {
    std::string damaged = good;
    damaged.replace(offset, bytes.size(), bytes);
    return damaged;
  };
  struct Case {
    const char* what;
    std::string bytes;
    bool tag_kept;
  };
  const Case cases[] = {
      {"missing", "", false},
      {"short header", good.substr(0, 100), false},
      {"wrong magic", with(0, "\xBD"), false},
      {"wrong version", with(2, "\x02"), false},
      {"length zero", with(16, std::string(8, '\0')), true},
      {"negative length", with(16, std::string(8, '\xff')), true},
      {"length beyond the file", with(16, "\x18"), true},
      {"truncated body", good.substr(0, good.size() - 3), true},
      {"tag length over 127", with(32, "\x90"), false},
      {"body not whole blocks", with(16, "\x0d").substr(0, good.size() - 3), true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove(path);
    if (std::string(c.what) != "missing") WriteFile(path, c.bytes);
    TEncryptedFileContent content;
    ASSERT_NO_THROW(content = LoadEncryptedFile(path, "key"));
    EXPECT_FALSE(content.loaded);
    EXPECT_TRUE(content.plain.empty());
    EXPECT_EQ(content.type_tag, c.tag_kept ? "XML" : "");
  }
}

TEST(EncryptedFile, KeyBelongsToMachineAndUser) {
  EXPECT_EQ(LocalCopyKey(), LocalCopyKey());
  EXPECT_NE(LocalCopyKeyFor("host", "alice"), LocalCopyKeyFor("host", "bob"));
  EXPECT_NE(LocalCopyKeyFor("host-a", "alice"), LocalCopyKeyFor("host-b", "alice"));
  EXPECT_EQ(LocalCopyKeyFor("", ""), LocalCopyKeyFor("Unknown", "Unknown"));
  EXPECT_EQ(LocalCopyKeyFor("a-very-long-computer-name", "u"), LocalCopyKeyFor("a-very-long-com", "u"));
  EXPECT_EQ(LocalCopyKeyFor("h", "u").size(), 2u + 5u);

  const std::string path = test::TestRoot() + "/Config";
  const std::string document = "<plbAppInfo ver=\"1.0\"/>";
  ASSERT_TRUE(SaveEncryptedFile(document, path, "XML", LocalCopyKeyFor("host", "alice")));
  EXPECT_NE(LoadEncryptedFile(path, LocalCopyKeyFor("host", "bob")).plain, document);
  EXPECT_EQ(LoadEncryptedFile(path, LocalCopyKeyFor("host", "alice")).plain, document);
}

}  // namespace
}  // namespace plb
