// plb api: sends one request of the service and prints its result.
#include <cstdio>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

#include "service/api/plumora_api.h"
#include "service/api/plumora_api_params.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

using Fields = std::map<std::string, std::string>;

std::string Field(const Fields& fields, const std::string& name, const std::string& fallback = "") {
  const auto found = fields.find(name);
  return found == fields.end() ? fallback : found->second;
}

int IntField(const Fields& fields, const std::string& name, int fallback) {
  const std::string text = Field(fields, name);
  try {
    return text.empty() ? fallback : std::stoi(text);
  } catch (const std::exception&) {
    throw UsageError{name + " is not a number: " + text};
  }
}

// The bytes of a file given on the command line; empty when it cannot be read (the request then
// reports its own "is Empty" error).
std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Operation {
  const char* fields;  // the FIELD names the operation takes
  std::function<TPLApiResult(const Fields&, Fields& out)> run;
};

const std::map<std::string, Operation>& Operations() {
  static const std::map<std::string, Operation> operations = {
      {"GetAppInfo",
       {"loglongsessionid machineidlist machineuseridlist validma",
        [](const Fields& f, Fields& out) {
          std::string answer;
          TPLApiResult r = PLApi_GetAppInfo(Field(f, "loglongsessionid"), Field(f, "machineidlist"),
                                            Field(f, "machineuseridlist"), Field(f, "validma"), answer);
          out["answer"] = answer;
          return r;
        }}},
      {"GetFirstDisplayUrl",
       {"url file",
        [](const Fields& f, Fields& out) {
          return PLApi_GetFirstDisplayUrl(Field(f, "url"), Field(f, "file"), out["displayurl"]);
        }}},
      {"GetFirstCommandCSV",
       {"url file",
        [](const Fields& f, Fields& out) {
          pugi::xml_document info;
          return PLApi_GetFirstCommandCSV(Field(f, "url"), Field(f, "file"), info, out["csv"]);
        }}},
      {"GetPlumoraAlbums",
       {"plumoraid (comma list)",
        [](const Fields& f, Fields& out) {
          std::vector<std::string> ids;
          const std::string list = Field(f, "plumoraid");
          for (size_t start = 0; start < list.size();) {
            const size_t comma = std::min(list.find(',', start), list.size());
            ids.push_back(list.substr(start, comma - start));
            start = comma + 1;
          }
          std::vector<TPlumoraAlbum> albums;
          TPLApiResult r = PLApi_GetPlumoraAlbums(ids, &albums);
          for (const auto& album : albums) out["album " + album.plumora_id] = album.title;
          return r;
        }}},
      {"StartUpload",
       {"plumoraid photonum",
        [](const Fields& f, Fields& out) {
          TPlumoraUploadInfoItem item;
          item.Update([&](TPlumoraUploadInfoItem::Values& v) {
            v.plumora_id = Field(f, "plumoraid");
            v.photo_count = IntField(f, "photonum", 0);
          });
          TPLApiResult r = PLApi_StartUpload(item);
          const auto v = item.Get();
          out["plumoraid"] = v.plumora_id;
          out["hostname"] = v.host_name;
          out["longsessionid"] = v.long_session_id;
          out["retrycount"] = std::to_string(v.retry_count);
          return r;
        }}},
      {"FinishedUpload",
       {"plumoraid iscomplete createmode sourcetype sourcename tabname file",
        [](const Fields& f, Fields& out) {
          const auto p = PlumoraApiParams().Snapshot();
          return PLApi_FinishedUpload(p.base_url, p.session_id, p.machine_id, p.machine_user_id, Field(f, "plumoraid"),
                                      Field(f, "iscomplete", "true") == "true", IntField(f, "createmode", 0),
                                      IntField(f, "sourcetype", 0), Field(f, "sourcename"), Field(f, "tabname"),
                                      Field(f, "file"), out["nextpage"]);
        }}},
      {"UploadEx",
       {"plumoraid editmode photoindex resuuid comment thumbid orgwidth orgheight orgfilename file",
        [](const Fields& f, Fields& out) {
          const auto p = PlumoraApiParams().Snapshot();
          out["resuuid"] = Field(f, "resuuid");
          return PLApi_UploadEx(p.base_url, p.session_id, p.machine_id, p.machine_user_id, Field(f, "plumoraid"),
                                IntField(f, "editmode", 0), IntField(f, "photoindex", 0), out["resuuid"],
                                Field(f, "comment"), IntField(f, "thumbid", -1), IntField(f, "orgwidth", 0),
                                IntField(f, "orgheight", 0), {}, Field(f, "orgfilename"), Field(f, "file"));
        }}},
      {"UploadBack",
       {"longsessionid thumbid orgfilename file resuuid",
        [](const Fields& f, Fields&) {
          const auto p = PlumoraApiParams().Snapshot();
          return PLApi_UploadBack(Field(f, "longsessionid"), p.machine_id, p.machine_user_id,
                                  IntField(f, "thumbid", -1), Field(f, "orgfilename"), Field(f, "file"),
                                  Field(f, "resuuid"));
        }}},
      {"GetRestUploadBack",
       {"longsessionid",
        [](const Fields& f, Fields& out) {
          const auto p = PlumoraApiParams().Snapshot();
          std::vector<TPlumoraRestItem> items;
          TPLApiResult r = PLApi_GetRestUploadBack(Field(f, "longsessionid"), p.machine_id, p.machine_user_id, &items);
          for (const auto& item : items) out["rest " + item.res_uuid] = item.host_name;
          return r;
        }}},
      {"UploadFailBack",
       {"longsessionid resuuid",
        [](const Fields& f, Fields&) {
          const auto p = PlumoraApiParams().Snapshot();
          return PLApi_UploadFailBack(Field(f, "longsessionid"), p.machine_id, p.machine_user_id, Field(f, "resuuid"));
        }}},
      {"FinishedUploadBack",
       {"longsessionid iscomplete",
        [](const Fields& f, Fields&) {
          const auto p = PlumoraApiParams().Snapshot();
          return PLApi_FinishedUploadBack(Field(f, "longsessionid"), p.machine_id, p.machine_user_id,
                                          Field(f, "iscomplete", "true") == "true");
        }}},
      {"SaveLog",
       {"url longsessionid logdata",
        [](const Fields& f, Fields&) {
          const std::string data = Field(f, "logdata");
          return PLApi_SaveLog(Field(f, "url"), Field(f, "longsessionid"), &data);
        }}},
      {"LogOut", {"", [](const Fields&, Fields&) { return PLApi_LogOut(); }}},
      {"UploadBodyIcon",
       {"filename file",
        [](const Fields& f, Fields& out) {
          const std::string bytes = FileBytes(Field(f, "file"));
          return PLApi_UploadBodyIcon(Field(f, "filename", Field(f, "file")), &bytes, out["nextpage"]);
        }}},
      {"UploadBGMStream",
       {"plumoraid title file",
        [](const Fields& f, Fields& out) {
          const std::string bytes = FileBytes(Field(f, "file"));
          return PLApi_UploadBGMStream(Field(f, "plumoraid"), Field(f, "file"), Field(f, "title"), &bytes,
                                       out["resuuid"]);
        }}},
      {"UploadBGMStreamEx",
       {"plumoraid title file",
        [](const Fields& f, Fields& out) {
          const std::string bytes = FileBytes(Field(f, "file"));
          return PLApi_UploadBGMStreamEx(Field(f, "plumoraid"), Field(f, "file"), Field(f, "title"), &bytes,
                                         out["nextpage"]);
        }}},
      {"EyeFiGetDirectoryResources",
       {"dirid revision",
        [](const Fields& f, Fields& out) {
          return EyeFi_GetDirectoryResources(Field(f, "dirid"), IntField(f, "revision", 0), out["answer"]);
        }}},
      {"EyeFiLoadThumbnail",
       {"resid width height",
        [](const Fields& f, Fields& out) {
          std::string bytes;
          TPLApiResult r =
              EyeFi_loadThumbnail(Field(f, "resid"), IntField(f, "width", 0), IntField(f, "height", 0), bytes);
          out["bytes"] = std::to_string(bytes.size());
          return r;
        }}},
      {"EyeFiLoadResource",
       {"resid revision",
        [](const Fields& f, Fields& out) {
          std::string bytes;
          TPLApiResult r = EyeFi_loadResource(Field(f, "resid"), IntField(f, "revision", 0), bytes);
          out["bytes"] = std::to_string(bytes.size());
          return r;
        }}},
      {"EyeFiUpload",
       {"plumoraid resid photoindex",
        [](const Fields& f, Fields&) {
          return EyeFi_Upload(Field(f, "plumoraid"), Field(f, "resid"), IntField(f, "photoindex", 0));
        }}},
  };
  return operations;
}

std::string Line(const char* name, const std::string& value, bool json) {
  std::string line;
  if (json) {
    line += '"';
    line += name;
    line += "\":\"";
    line += JsonEscape(value);
    line += '"';
  } else {
    line += name;
    line += ": ";
    line += value;
  }
  return line;
}

int RunApi(const Args& given) {
  Args args = given;
  const bool json = TakeFlag(args, "--json");
  std::string base;
  const bool has_base = TakeOption(args, "--base", base);
  if (args.empty()) throw UsageError{"NAME needed"};
  const auto operation = Operations().find(args[0]);
  if (operation == Operations().end()) {
    std::string names;
    for (const auto& [name, op] : Operations()) names += " " + name + "(" + op.fields + ")";
    throw UsageError{"unknown request " + args[0] + "; one of:" + names};
  }
  Fields fields;
  for (size_t i = 1; i < args.size(); ++i) {
    const size_t equals = args[i].find('=');
    if (equals == std::string::npos) throw UsageError{"FIELD=VALUE expected: " + args[i]};
    fields[args[i].substr(0, equals)] = args[i].substr(equals + 1);
  }
  // --base URL is the service's root ("http://host:port/"), as the local service prints it.
  PlumoraApiParams().Update([&](TPlumoraApiParamValues& v) {
    if (has_base) {
      v.base_url = base + "api/";
      v.app_info_url = base + "api/getAppInfo.php";
      v.eyefi_url = base + "eyefi/";
    }
    v.session_id = Field(fields, "sessionid", v.session_id);
    v.machine_id = Field(fields, "machineid", v.machine_id);
    v.machine_user_id = Field(fields, "machineuserid", v.machine_user_id);
  });
  Fields out;
  const TPLApiResult r = operation->second.run(fields, out);
  std::vector<std::string> lines = {
      json ? "\"Success\":" + std::string(r.Success ? "true" : "false")
           : "Success: " + std::string(r.Success ? "true" : "false"),
      Line("Code", r.Code, json),
      Line("Message", r.Message, json),
      json ? "\"Kind\":" + std::to_string(r.Kind)
           : "Kind: " + std::to_string(r.Kind) + " " + std::string(PLApiResultKindWord(r.Kind)),
      Line("ErrorCode", r.ErrorCode, json),
      Line("Command", r.Command, json)};
  for (const auto& [name, value] : out) lines.push_back(Line(name.c_str(), value, json));
  if (json) {
    std::string text = "{";
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i > 0) text += ',';
      text += lines[i];
    }
    std::printf("%s}\n", text.c_str());
  } else {
    for (const auto& line : lines) std::printf("%s\n", line.c_str());
  }
  return r.Success ? 0 : 1;
}

PLB_SUBCOMMAND("api", "[--json] NAME [FIELD=VALUE...] [--base URL]: send one service request", RunApi);

}  // namespace
}  // namespace plb::cli
