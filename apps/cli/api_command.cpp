// plb api: sends one request of the service and prints its result.
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "api_requests.h"
#include "json_output.h"
#include "service/api/plumora_api_params.h"
#include "subcommand.h"

namespace plb::cli {
namespace {

struct Options {
  bool json = false;
  std::string base;
  std::string name;
  std::vector<std::string> fields;
};

ApiFields ParseFields(const std::vector<std::string>& items) {
  ApiFields fields;
  for (const std::string& item : items) {
    const size_t equals = item.find('=');
    if (equals == std::string::npos) throw UsageError{"FIELD=VALUE expected: " + item};
    fields[item.substr(0, equals)] = item.substr(equals + 1);
  }
  return fields;
}

// base is the service's root ("http://host:port/"), as the local service prints it; empty keeps
// the configured addresses.
void UseService(const std::string& base, const ApiFields& fields) {
  PlumoraApiParams().Update([&](TPlumoraApiParamValues& v) {
    if (!base.empty()) {
      v.base_url = base + "api/";
      v.app_info_url = base + "api/getAppInfo.php";
      v.eyefi_url = base + "eyefi/";
    }
    v.session_id = ApiField(fields, "sessionid", v.session_id);
    v.machine_id = ApiField(fields, "machineid", v.machine_id);
    v.machine_user_id = ApiField(fields, "machineuserid", v.machine_user_id);
  });
}

void PrintJson(const TPLApiResult& r, const ApiFields& out) {
  JsonObject row;
  row["Success"] = r.Success;
  PutText(row, "Code", r.Code);
  PutText(row, "Message", r.Message);
  row["Kind"] = r.Kind;
  PutText(row, "ErrorCode", r.ErrorCode);
  PutText(row, "Command", r.Command);
  for (const auto& [name, value] : out) PutText(row, name, value);
  PrintJsonLine(row);
}

void PrintText(const TPLApiResult& r, const ApiFields& out) {
  std::printf("Success: %s\nCode: %s\nMessage: %s\nKind: %d %s\nErrorCode: %s\nCommand: %s\n",
              r.Success ? "true" : "false", r.Code.c_str(), r.Message.c_str(), static_cast<int>(r.Kind),
              std::string(PLApiResultKindWord(r.Kind)).c_str(), r.ErrorCode.c_str(), r.Command.c_str());
  for (const auto& [name, value] : out) std::printf("%s: %s\n", name.c_str(), value.c_str());
}

int RunApi(const Options& o) {
  if (o.name.empty()) throw UsageError{"NAME needed"};
  const ApiRequest* request = FindApiRequest(o.name);
  if (!request) throw UsageError{"unknown request " + o.name + "; one of:" + ApiRequestList()};
  const ApiFields fields = ParseFields(o.fields);
  UseService(o.base, fields);
  ApiFields out;
  const TPLApiResult r = request->send(fields, out);
  o.json ? PrintJson(r, out) : PrintText(r, out);
  return r.Success ? 0 : 1;
}

Runner DefineApi(CLI::App& app) {
  auto o = std::make_shared<Options>();
  app.add_flag("--json", o->json, "the result as one JSON object");
  app.add_option("--base", o->base, "the service's root URL, as the local service prints it");
  app.add_option("NAME", o->name, "the request (a wrong name lists them all)");
  app.add_option("FIELD=VALUE", o->fields, "the request's fields; sessionid, machineid and machineuserid too");
  return [o] { return RunApi(*o); };
}

PLB_SUBCOMMAND("api", "[--json] NAME [FIELD=VALUE...] [--base URL]", "send one service request", DefineApi);

}  // namespace
}  // namespace plb::cli
