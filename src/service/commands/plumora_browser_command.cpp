#include "service/commands/plumora_browser_command.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <pugixml.hpp>
#include <sstream>

#include "host/ascii_case.h"
#include "host/message_agent_config.h"
#include "host/product_values.h"
#include "host/version_info.h"
#include "platform/private_temp.h"
#include "service/commands/command_csv.h"
#include "service/commands/local_param_file.h"
#include "service/api/plumora_api_params.h"
#include "service/api/service_errors.h"

namespace plb {
namespace {

constexpr int kMaxParamsFiles = 100000;

std::mutex& ArgumentsLock() {
  static std::mutex lock;
  return lock;
}

std::vector<std::string>& Arguments() {
  static std::vector<std::string> args;
  return args;
}

[[noreturn]] void Raise(const char* function, const std::exception& e) {
  throw EPlumoraBrowserCommandError(ClassNameOf(e) + " Raised in UnitPlumoraBrowserCommand." + function + ". ( " +
                                    MessageOf(e) + " )");
}

std::vector<std::string> SplitList(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  std::stringstream in(text);
  for (std::string piece; std::getline(in, piece, separator);)
    if (!piece.empty()) pieces.push_back(piece);
  return pieces;
}

void AddSz(pugi::xml_node parent, const std::string& entry) {
  const size_t equals = entry.find('=');
  pugi::xml_node sz = parent.append_child("sz");
  sz.append_attribute("name") = entry.substr(0, equals).c_str();
  sz.append_attribute("data") = equals == std::string::npos ? "" : entry.substr(equals + 1).c_str();
}

void AddLocalParamContent(pugi::xml_node param, const std::string& path) {
  TLocalParamFile file;
  try {
    file.Load(path);
  } catch (const std::exception&) {
    return;  // not readable as a hand-over document: nothing of it goes out
  }
  if (!file.IsHandOverDocument()) return;
  pugi::xml_document copy;
  copy.load_buffer(file.Bytes().data(), file.Bytes().size());
  param.append_child("content").append_copy(copy.document_element());
}

}  // namespace

void SetCommandLineArguments(const std::vector<std::string>& args) {
  std::lock_guard guard(ArgumentsLock());
  Arguments() = args;
}

std::vector<std::string> CommandLineArguments() {
  std::lock_guard guard(ArgumentsLock());
  return Arguments();
}

std::string ProgramCommandLineCSV() {
  return CommandLineCSV(CommandLineArguments());
}

std::string BuildPlumoraBrowserParams(const TStartParamSources& sources) {
  pugi::xml_document document;
  pugi::xml_node declaration = document.append_child(pugi::node_declaration);
  declaration.append_attribute("version") = "1.0";
  declaration.append_attribute("encoding") = "UTF-8";
  pugi::xml_node root = document.append_child("plumoraBrowserDispPage");
  root.append_attribute("version") = sources.version.c_str();
  root.append_attribute("sessionid") = sources.session_id.c_str();

  pugi::xml_node params = root.append_child("commandLineParameters");
  for (const std::string& item : ParseCommandCSV(sources.command_line_csv)) {
    const std::string name = ItemName(item);
    if (name.empty()) continue;
    pugi::xml_node param = params.append_child("param");
    param.append_attribute("key") = name.c_str();
    if (AsciiEqualsNoCase(name, "localparamfile") && !sources.local_param_file.empty() &&
        ::access(sources.local_param_file.c_str(), F_OK) == 0) {
      param.append_attribute("value") = sources.local_param_file.c_str();
      AddLocalParamContent(param, sources.local_param_file);
    } else {
      param.append_attribute("value") = ItemValue(item).c_str();
    }
  }

  const std::vector<std::string> plbids = SplitList(sources.machine_user_id_list, ',');
  if (!plbids.empty()) {
    pugi::xml_node list = root.append_child("plbids");
    for (const std::string& entry : plbids) {
      const std::vector<std::string> fields = [&] {
        std::vector<std::string> out;
        std::stringstream in(entry);
        for (std::string field; std::getline(in, field, ':');) out.push_back(field);
        out.resize(3);
        return out;
      }();
      pugi::xml_node plbid = list.append_child("plbid");
      plbid.append_attribute("packagecode") = fields[0].c_str();
      plbid.append_attribute("machineid") = fields[1].c_str();
      plbid.append_attribute("machineuserid") = fields[2].c_str();
    }
  }

  pugi::xml_node installer = root.append_child("installerInfos");
  pugi::xml_node history = installer.append_child("directory");
  history.append_attribute("name") = "history";
  for (const std::string& entry : sources.installer_history) AddSz(history, entry);
  for (const std::string& entry : sources.installer_infos) AddSz(history, entry);

  std::ostringstream out;
  document.save(out, "  ", pugi::format_default | pugi::format_no_declaration, pugi::encoding_utf8);
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n" + out.str();
}

std::string SavePlumoraBrowserParams(const TStartParamSources& sources) {
  try {
    const std::string document = BuildPlumoraBrowserParams(sources);
    const std::string folder = platform::PrivateTempFolder();
    for (int n = 0; n < kMaxParamsFiles; ++n) {
      const std::string path = folder + "/PlumoraBrowserParams(" + std::to_string(n) + ").xml";
      // Taking the name and creating the file are one step, so two threads never share a number.
      const int fd = platform::CreateExchangeFile(path);
      if (fd < 0) {
        if (errno == EEXIST) continue;
        throw EPlumoraBrowserCommandError(path + ": " + std::strerror(errno));
      }
      ::close(fd);
      platform::WriteExchangeFile(path, document, true);
      return path;
    }
    throw EPlumoraBrowserCommandError("no free file name");
  } catch (const std::exception& e) {
    Raise("SavePlumoraBrowserParams", e);
  }
}

std::string SavePlumoraBrowserParams() {
  TStartParamSources sources;
  sources.version = FileVersion();
  sources.session_id = PlumoraApiParams().SessionId();
  sources.command_line_csv = ProgramCommandLineCSV();
  sources.local_param_file = PlumoraApiParams().LocalParamFile();
  try {
    TMessageAgentConfig agent;
    sources.machine_user_id_list = agent.GetMachineUserIdList();
  } catch (const std::exception&) {
    // Logged by the agent (a list it cannot read); a missing list is no error. The document goes
    // without "plbids".
  }
  sources.installer_history = LoadInstallerHistory();
  sources.installer_infos = LoadInstallerInfos();
  return SavePlumoraBrowserParams(sources);
}

}  // namespace plb
