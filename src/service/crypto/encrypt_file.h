#pragma once
// Blowfish-CBC enciphering of whole streams and the container file that holds one enciphered
// stream with a short type tag (the local copy of the application-information document).
#include <string>
#include <string_view>

namespace plb {

// Blowfish in CBC mode, keyed with the key's bytes, padding by count, the program's fixed
// initialisation vector. DecipherStream throws ECryptError for damaged input.
std::string EncipherStream(std::string_view plain, std::string_view key);
std::string DecipherStream(std::string_view enciphered, std::string_view key);

// Enciphers plain and writes the container (replacing an existing file). An empty plain stream
// writes nothing and returns false. Throws EWriteError when the file cannot be written.
bool SaveEncryptedFile(std::string_view plain, const std::string& path, const std::string& type_tag,
                       std::string_view key);

struct TEncryptedFileContent {
  bool loaded = false;  // the header was sound and a non-empty body deciphered
  std::string type_tag;
  std::string plain;
  double time_written = 0;
};

// Reads a container. Never throws: a missing file, a short or foreign header, a stored length
// that does not match the file, or a body that does not decipher give loaded == false (the tag
// is still returned when the header was readable).
TEncryptedFileContent LoadEncryptedFile(const std::string& path, std::string_view key);

// The key of the local copy: the computer name (at most 15 characters) and the login name, each
// "Unknown" when the system does not give it, in a fixed pattern. Differs by machine and user.
std::string LocalCopyKey();
std::string LocalCopyKeyFor(const std::string& computer, const std::string& user);

inline constexpr size_t kEncryptedHeaderSize = 168;

}  // namespace plb
