#pragma once
// One file waiting in the background re-upload queue, and its ".bu" item file:
//   32 bytes  signature "Plumora BackUploader Item Data", zero padded
//   uint32    version (40963 written; 40961 to 40963 read, higher read as 40963)
//   texts     long session id, host name, photo-book id, resource UUID
//   uint8     full-image flag; uint8 thumb id
//   texts     target file, source photo path (from 40962), base URL, machine id, machine user id
//             (from 40963)
// Little-endian; a text is a uint32 byte count and the bytes.
#include <cstdint>
#include <span>
#include <string>

#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EPlumoraBackUploadItemError, Error);

inline constexpr uint32_t kBackUploadItemVersion = 40963;
inline constexpr const char* kBackUploadItemSignature = "Plumora BackUploader Item Data";

struct TPlumoraBackUploadItem {
  std::string base_url;
  std::string long_session_id;
  std::string machine_id;
  std::string machine_user_id;
  std::string host_name;
  std::string plumora_id;
  std::string res_uuid;
  uint8_t full_image = 0;
  uint8_t thumb_id = 0;
  std::string target_file;
  std::string source_file;
  std::string item_file;  // the ".bu" file itself; not stored in it

  std::string Encode() const;
  // Raises EPlumoraBackUploadItemError for a wrong signature, EReadError for a truncated or
  // overlong record.
  void Decode(std::span<const uint8_t> bytes);

  // Written in one piece under a temporary name and renamed, so a lister never meets half a file.
  // The folder must exist ("Directory not exists : " otherwise).
  void SaveToFile(const std::string& path);
  // False (and logged) when the file is missing or unreadable.
  bool LoadFromFile(const std::string& path);
  // Deletes the item file, and the target file too when asked and the item file went.
  void Remove(bool with_target) const;
};

// The item file name of a registered file: "<uuid>_<thumb>.bu" or "<uuid>_org.bu".
std::string BackUploadItemFileName(const std::string& res_uuid, int thumb_id);

}  // namespace plb
