#include "service/upload/bgm_uploader.h"

#include "service/api/plumora_api.h"
#include "service/upload/next_page_command.h"
#include "service/upload/sound_file.h"

namespace plb {

TBgmUploader::Result TBgmUploader::Upload(const std::string& plumora_id, const std::string& path,
                                          Progress progress) {
  Result result;
  if (plumora_id.empty()) {
    result.message = "音楽を追加するプルモラが選ばれていません。";
    return result;
  }
  std::string bytes;
  if (std::string why = ReadSoundFile(path, bytes); !why.empty()) {
    result.message = std::move(why);
    return result;
  }
  TPLApiCallOptions options = UploadCallOptions();
  options.cancelled = [this] { return cancelled_.load(); };
  options.progress = std::move(progress);
  std::string next_page;
  const TPLApiResult answer = PLApi_UploadBGMStreamEx(plumora_id, path, "", &bytes, next_page, options);
  if (cancelled_) {
    result.message = "音楽の追加を中止しました。";
  } else if (!answer.Success) {
    result.message = "音楽を追加できませんでした。" + (answer.Message.empty() ? "" : "\n(" + answer.Message + ")");
  } else {
    result.success = true;
    result.next_command = NextPageCommand(answer, next_page);
  }
  return result;
}

}  // namespace plb
