#include "service/appinfo/first_command.h"

#include <unistd.h>

#include <pugixml.hpp>

#include "host/log_file.h"
#include "platform/ui_dispatcher.h"
#include "service/api/plumora_api.h"
#include "service/appinfo/app_info_item.h"
#include "service/appinfo/error_command.h"
#include "service/commands/plumora_browser_command.h"

namespace plb {

TFirstCommandResult GetFirstPlumoraBrowserCommand(const std::string& first_command_url) {
  TFirstCommandResult out;
  try {
    const std::string file = SavePlumoraBrowserParams();
    if (file.empty()) return out;
    pugi::xml_document app_info;
    std::string command;
    TPLApiResult result;
    try {
      result = PLApi_GetFirstCommandCSV(first_command_url, file, app_info, command);
    } catch (...) {
      unlink(file.c_str());
      throw;
    }
    unlink(file.c_str());
    out.success = true;
    if (result.Success) {
      out.command_csv = command;
      const pugi::xml_node root = app_info.document_element();
      if (root && root.first_child()) SaveAppInfoLocalCopy(root);
    } else {
      const std::string kind(PLApiResultKindWord(result.Kind));
      PlumoraErrorCommand().SetLastFailure(kind, result.ErrorCode);
      out.command_csv = PlumoraErrorCommand().Lookup(kind, result.ErrorCode);
    }
  } catch (const std::exception& e) {
    LogException("GetFirstPlumoraBrowserCommand", e);
    out.success = false;
  }
  return out;
}

TFirstCommandGetter::TFirstCommandGetter(std::string first_command_url, Completion completion)
    : thread_([url = std::move(first_command_url), completion = std::move(completion)] {
        const TFirstCommandResult result = GetFirstPlumoraBrowserCommand(url);
        if (!completion) return;
        if (platform::UiDispatcher* ui = platform::CurrentUiDispatcher())
          ui->Post([completion, result] { completion(result); });
        else
          completion(result);
      }) {}

TFirstCommandGetter::~TFirstCommandGetter() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace plb
