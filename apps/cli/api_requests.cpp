#include "api_requests.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <span>
#include <vector>

#include "service/api/plumora_api_params.h"
#include "subcommand.h"

namespace plb::cli {

std::string ApiField(const ApiFields& fields, const std::string& name, const std::string& fallback) {
  const auto found = fields.find(name);
  return found == fields.end() ? fallback : found->second;
}

namespace {

std::string Field(const ApiFields& fields, const std::string& name, const std::string& fallback = "") {
  return ApiField(fields, name, fallback);
}

int IntField(const ApiFields& fields, const std::string& name, int fallback) {
  const std::string text = Field(fields, name);
  try {
    return text.empty() ? fallback : std::stoi(text);
  } catch (const std::exception&) {
    throw UsageError{name + " is not a number: " + text};
  }
}

bool TrueField(const ApiFields& fields, const std::string& name) {
  return Field(fields, name, "true") == "true";
}

// The bytes of a file given on the command line; empty when it cannot be read (the request then
// reports its own "is Empty" error).
std::string FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::string> CommaList(const std::string& list) {
  std::vector<std::string> items;
  for (size_t start = 0; start < list.size();) {
    const size_t comma = std::min(list.find(',', start), list.size());
    items.push_back(list.substr(start, comma - start));
    start = comma + 1;
  }
  return items;
}

// What the application asks before and around its pages.
const ApiRequest kPageRequests[] = {
    {"GetAppInfo", "loglongsessionid machineidlist machineuseridlist validma",
     [](const ApiFields& f, ApiFields& out) {
       return PLApi_GetAppInfo(Field(f, "loglongsessionid"), Field(f, "machineidlist"), Field(f, "machineuseridlist"),
                               Field(f, "validma"), out["answer"]);
     }},
    {"GetFirstDisplayUrl", "url file",
     [](const ApiFields& f, ApiFields& out) {
       return PLApi_GetFirstDisplayUrl(Field(f, "url"), Field(f, "file"), out["displayurl"]);
     }},
    {"GetFirstCommandCSV", "url file",
     [](const ApiFields& f, ApiFields& out) {
       pugi::xml_document info;
       return PLApi_GetFirstCommandCSV(Field(f, "url"), Field(f, "file"), info, out["csv"]);
     }},
    {"GetPlumoraAlbums", "plumoraid (comma list)",
     [](const ApiFields& f, ApiFields& out) {
       std::vector<TPlumoraAlbum> albums;
       TPLApiResult r = PLApi_GetPlumoraAlbums(CommaList(Field(f, "plumoraid")), &albums);
       for (const auto& album : albums) out["album " + album.plumora_id] = album.title;
       return r;
     }},
    {"SaveLog", "url longsessionid logdata",
     [](const ApiFields& f, ApiFields&) {
       const std::string data = Field(f, "logdata");
       return PLApi_SaveLog(Field(f, "url"), Field(f, "longsessionid"), &data);
     }},
    {"LogOut", "", [](const ApiFields&, ApiFields&) { return PLApi_LogOut(); }},
};

// A photo book's upload while the user waits.
const ApiRequest kUploadRequests[] = {
    {"StartUpload", "plumoraid photonum",
     [](const ApiFields& f, ApiFields& out) {
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
     }},
    {"FinishedUpload", "plumoraid iscomplete createmode sourcetype sourcename tabname file",
     [](const ApiFields& f, ApiFields& out) {
       const auto p = PlumoraApiParams().Snapshot();
       return PLApi_FinishedUpload(p.base_url, p.session_id, p.machine_id, p.machine_user_id, Field(f, "plumoraid"),
                                   TrueField(f, "iscomplete"), IntField(f, "createmode", 0),
                                   IntField(f, "sourcetype", 0), Field(f, "sourcename"), Field(f, "tabname"),
                                   Field(f, "file"), out["nextpage"]);
     }},
    {"UploadEx", "plumoraid editmode photoindex resuuid comment thumbid orgwidth orgheight orgfilename file",
     [](const ApiFields& f, ApiFields& out) {
       const auto p = PlumoraApiParams().Snapshot();
       out["resuuid"] = Field(f, "resuuid");
       return PLApi_UploadEx(p.base_url, p.session_id, p.machine_id, p.machine_user_id, Field(f, "plumoraid"),
                             IntField(f, "editmode", 0), IntField(f, "photoindex", 0), out["resuuid"],
                             Field(f, "comment"), IntField(f, "thumbid", -1), IntField(f, "orgwidth", 0),
                             IntField(f, "orgheight", 0), {}, Field(f, "orgfilename"), Field(f, "file"));
     }},
    {"UploadBodyIcon", "filename file",
     [](const ApiFields& f, ApiFields& out) {
       const std::string bytes = FileBytes(Field(f, "file"));
       return PLApi_UploadBodyIcon(Field(f, "filename", Field(f, "file")), &bytes, out["nextpage"]);
     }},
    {"UploadBGMStream", "plumoraid title file",
     [](const ApiFields& f, ApiFields& out) {
       const std::string bytes = FileBytes(Field(f, "file"));
       return PLApi_UploadBGMStream(Field(f, "plumoraid"), Field(f, "file"), Field(f, "title"), &bytes,
                                    out["resuuid"]);
     }},
    {"UploadBGMStreamEx", "plumoraid title file",
     [](const ApiFields& f, ApiFields& out) {
       const std::string bytes = FileBytes(Field(f, "file"));
       return PLApi_UploadBGMStreamEx(Field(f, "plumoraid"), Field(f, "file"), Field(f, "title"), &bytes,
                                      out["nextpage"]);
     }},
};

// The background upload of the larger sizes, under a long session.
const ApiRequest kBackgroundRequests[] = {
    {"UploadBack", "longsessionid thumbid orgfilename file resuuid",
     [](const ApiFields& f, ApiFields&) {
       const auto p = PlumoraApiParams().Snapshot();
       return PLApi_UploadBack(Field(f, "longsessionid"), p.machine_id, p.machine_user_id, IntField(f, "thumbid", -1),
                               Field(f, "orgfilename"), Field(f, "file"), Field(f, "resuuid"));
     }},
    {"GetRestUploadBack", "longsessionid",
     [](const ApiFields& f, ApiFields& out) {
       const auto p = PlumoraApiParams().Snapshot();
       std::vector<TPlumoraRestItem> items;
       TPLApiResult r = PLApi_GetRestUploadBack(Field(f, "longsessionid"), p.machine_id, p.machine_user_id, &items);
       for (const auto& item : items) out["rest " + item.res_uuid] = item.host_name;
       return r;
     }},
    {"UploadFailBack", "longsessionid resuuid",
     [](const ApiFields& f, ApiFields&) {
       const auto p = PlumoraApiParams().Snapshot();
       return PLApi_UploadFailBack(Field(f, "longsessionid"), p.machine_id, p.machine_user_id, Field(f, "resuuid"));
     }},
    {"FinishedUploadBack", "longsessionid iscomplete",
     [](const ApiFields& f, ApiFields&) {
       const auto p = PlumoraApiParams().Snapshot();
       return PLApi_FinishedUploadBack(Field(f, "longsessionid"), p.machine_id, p.machine_user_id,
                                       TrueField(f, "iscomplete"));
     }},
};

// The remote photo store.
const ApiRequest kEyeFiRequests[] = {
    {"EyeFiGetDirectoryResources", "dirid revision",
     [](const ApiFields& f, ApiFields& out) {
       return EyeFi_GetDirectoryResources(Field(f, "dirid"), IntField(f, "revision", 0), out["answer"]);
     }},
    {"EyeFiLoadThumbnail", "resid width height",
     [](const ApiFields& f, ApiFields& out) {
       std::string bytes;
       TPLApiResult r = EyeFi_loadThumbnail(Field(f, "resid"), IntField(f, "width", 0), IntField(f, "height", 0), bytes);
       out["bytes"] = std::to_string(bytes.size());
       return r;
     }},
    {"EyeFiLoadResource", "resid revision",
     [](const ApiFields& f, ApiFields& out) {
       std::string bytes;
       TPLApiResult r = EyeFi_loadResource(Field(f, "resid"), IntField(f, "revision", 0), bytes);
       out["bytes"] = std::to_string(bytes.size());
       return r;
     }},
    {"EyeFiUpload", "plumoraid resid photoindex",
     [](const ApiFields& f, ApiFields&) {
       return EyeFi_Upload(Field(f, "plumoraid"), Field(f, "resid"), IntField(f, "photoindex", 0));
     }},
};

const std::span<const ApiRequest> kFamilies[] = {kPageRequests, kUploadRequests, kBackgroundRequests,
                                                 kEyeFiRequests};

}  // namespace

const ApiRequest* FindApiRequest(const std::string& name) {
  for (const auto& family : kFamilies) {
    for (const ApiRequest& request : family) {
      if (name == request.name) return &request;
    }
  }
  return nullptr;
}

std::string ApiRequestList() {
  std::vector<const ApiRequest*> all;
  for (const auto& family : kFamilies) {
    for (const ApiRequest& request : family) all.push_back(&request);
  }
  std::sort(all.begin(), all.end(), [](const ApiRequest* a, const ApiRequest* b) { return std::string(a->name) < b->name; });
  std::string list;
  for (const ApiRequest* request : all) list += std::string(" ") + request->name + "(" + request->fields + ")";
  return list;
}

}  // namespace plb::cli
