#include "service/upload/back_upload_item.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "host/ascii_case.h"
#include "host/log_file.h"
#include "platform/atomic_file.h"
#include "platform/record_stream.h"
#include "service/upload/service_path.h"

namespace plb {

namespace {
constexpr size_t kSignatureBytes = 32;
constexpr uint32_t kOldestVersion = 40961;
// No item file is anywhere near this; a larger one is not ours.
constexpr uint64_t kMaxItemFileBytes = 1u << 20;
}  // namespace

std::string TPlumoraBackUploadItem::Encode() const {
  std::string out;
  RecordWriter w(out);
  char signature[kSignatureBytes] = {};
  std::memcpy(signature, kBackUploadItemSignature, std::strlen(kBackUploadItemSignature));
  w.Bytes(signature, sizeof signature);
  w.U32(kBackUploadItemVersion);
  w.Text(long_session_id);
  w.Text(host_name);
  w.Text(plumora_id);
  w.Text(res_uuid);
  w.U8(full_image);
  w.U8(thumb_id);
  w.Text(target_file);
  w.Text(source_file);
  w.Text(base_url);
  w.Text(machine_id);
  w.Text(machine_user_id);
  w.Flush();
  return out;
}

void TPlumoraBackUploadItem::Decode(std::span<const uint8_t> bytes) {
  RecordReader r(bytes);
  char signature[kSignatureBytes + 1] = {};
  r.Read(signature, kSignatureBytes);
  if (!AsciiEqualsNoCase(std::string(signature), kBackUploadItemSignature))
    throw EPlumoraBackUploadItemError("Not a back-upload item");
  const uint32_t version = std::min(r.U32(), kBackUploadItemVersion);
  if (version < kOldestVersion) throw EPlumoraBackUploadItemError("Unknown back-upload item version");
  TPlumoraBackUploadItem read;
  read.long_session_id = r.Text();
  read.host_name = r.Text();
  read.plumora_id = r.Text();
  read.res_uuid = r.Text();
  read.full_image = r.U8();
  read.thumb_id = r.U8();
  read.target_file = r.Text();
  if (version >= 40962) read.source_file = r.Text();
  if (version >= 40963) {
    read.base_url = r.Text();
    read.machine_id = r.Text();
    read.machine_user_id = r.Text();
  }
  read.item_file = item_file;
  *this = std::move(read);
}

void TPlumoraBackUploadItem::SaveToFile(const std::string& path) {
  const std::string folder = std::filesystem::path(path).parent_path().string();
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
    throw EPlumoraBackUploadItemError("Directory not exists : " + folder);
  WriteFileAtomically(path, Encode(), 0600);
  item_file = path;
}

bool TPlumoraBackUploadItem::LoadFromFile(const std::string& path) {
  try {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) throw EPlumoraBackUploadItemError("File not exists : " + path);
    const uint64_t size = std::filesystem::file_size(path, ec);
    if (ec || size > kMaxItemFileBytes) throw EPlumoraBackUploadItemError("Not a back-upload item : " + path);
    std::string bytes(static_cast<size_t>(size), '\0');
    std::ifstream in(path, std::ios::binary);
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
      throw EPlumoraBackUploadItemError("Cannot read " + path);
    Decode({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
    item_file = path;
    return true;
  } catch (const std::exception& e) {
    LogFailure("TPlumoraBackUploadItem.LoadFromFile", path, e);
    return false;
  }
}

void TPlumoraBackUploadItem::Remove(bool with_target) const {
  const bool removed = ::unlink(item_file.c_str()) == 0;
  if (removed && with_target && !target_file.empty()) ::unlink(target_file.c_str());
}

std::string BackUploadItemFileName(const std::string& res_uuid, int thumb_id) {
  const std::string key = ServicePathComponent(res_uuid);
  if (thumb_id >= 1 && thumb_id <= 7) return key + "_" + std::to_string(thumb_id) + ".bu";
  return key + "_org.bu";
}

}  // namespace plb
