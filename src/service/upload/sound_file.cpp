#include "service/upload/sound_file.h"

#include <filesystem>
#include <fstream>

namespace plb {

std::string ReadSoundFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return "音楽ファイルが見つかりません。";
  const uint64_t size = std::filesystem::file_size(path, error);
  if (error) return "音楽ファイルを読めません。";
  if (size == 0) return "音楽ファイルが空です。";
  if (size > kMaxSoundFileBytes) return "音楽ファイルが大きすぎます（100MBまで）。";
  std::ifstream in(path, std::ios::binary);
  bytes.resize(size);
  if (!in.read(bytes.data(), static_cast<std::streamsize>(size)) || in.gcount() != static_cast<std::streamsize>(size)) {
    bytes.clear();
    return "音楽ファイルを読めません。";
  }
  return {};
}

}  // namespace plb
