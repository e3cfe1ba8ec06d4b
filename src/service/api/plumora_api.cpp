#include "service/api/plumora_api.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <optional>

#include "host/ascii_case.h"
#include "host/format.h"
#include "host/uploader_options.h"
#include "host/version_info.h"
#include "service/commands/command_csv.h"
#include "service/api/plumora_api_call.h"
#include "service/api/plumora_api_params.h"
#include "service/api/service_errors.h"

namespace plb {
namespace {

using Family = TPLApiCall::Family;
using Answer = TPLApiCall::Answer;

constexpr long kLogOutTimeoutMs = 5000;

bool FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A decimal integer or nothing.
std::optional<int> ParseInt(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int IntAttribute(const pugi::xml_node& node, const char* name, int fallback) {
  const pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) return fallback;
  return ParseInt(attribute.value()).value_or(fallback);
}

// The first child element with the name (a strict "first child" reading would refuse answers
// that carry anything before it).
pugi::xml_node FirstNamed(const pugi::xml_node& node, const char* name) {
  return node.child(name);
}

std::string Attribute(const pugi::xml_node& node, const char* name) {
  return node.attribute(name).value();
}

std::string Bool(bool value) {
  return value ? "true" : "false";
}

void AddIdentity(TMultipartForm& form, const std::string& session_id, const std::string& machine_id,
                 const std::string& machine_user_id) {
  form.AddField("version", PLApiVersion());
  form.AddField("sessionid", session_id);
  form.AddField("plbid_machineid", machine_id);
  form.AddField("plbid_machineuserid", machine_user_id);
}

void AddBackIdentity(TMultipartForm& form, const std::string& long_session_id, const std::string& machine_id,
                     const std::string& machine_user_id) {
  form.AddField("version", PLApiVersion());
  form.AddField("longsessionid", long_session_id);
  form.AddField("plbid_machineid", machine_id);
  form.AddField("plbid_machineuserid", machine_user_id);
}

void AddCurrentIdentity(TMultipartForm& form) {
  const TPlumoraApiParamValues v = PlumoraApiParams().Snapshot();
  AddIdentity(form, v.session_id, v.machine_id, v.machine_user_id);
}

// The part of url before its first "?", and its query items as fields (items without a name are
// skipped; nothing is decoded).
std::string FormFromQuery(const std::string& url, TMultipartForm& form) {
  const size_t question = url.find('?');
  if (question == std::string::npos) return url;
  std::string_view query = std::string_view(url).substr(question + 1);
  while (!query.empty()) {
    const size_t amp = query.find('&');
    const std::string_view item = query.substr(0, amp);
    const size_t equals = item.find('=');
    const std::string_view name = item.substr(0, equals);
    if (!name.empty())
      form.AddField(name, equals == std::string_view::npos ? std::string_view() : item.substr(equals + 1));
    if (amp == std::string_view::npos) break;
    query.remove_prefix(amp + 1);
  }
  return url.substr(0, question);
}

// Scheme and host of a URL, without a trailing slash: the host that completes relative pages.
std::string PageHostOf(const std::string& url) {
  const size_t scheme_end = url.find("://");
  if (scheme_end == std::string::npos) return std::string();
  const size_t host_end = url.find_first_of("/?#", scheme_end + 3);
  return url.substr(0, host_end);
}

// True when url names a scheme of its own: a letter, then letters, digits, "+", "-" or "." up to a
// ":" that comes before any "/", "?" or "#" ("file:///x", "mailto:x", "javascript:x").
bool HasScheme(const std::string& url) {
  const size_t colon = url.find(':');
  if (colon == std::string::npos || colon == 0 || url.find_first_of("/?#") < colon) return false;
  if (!std::isalpha(static_cast<unsigned char>(url[0]))) return false;
  return std::all_of(url.begin(), url.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
  });
}

// The self-built bodies use a time-derived boundary; should the payload happen to contain it,
// a random tail makes it unique again.
TMultipartForm SelfBuiltForm() {
  return TMultipartForm(TimeBoundary());
}

void MakeBoundaryUnique(TMultipartForm& form) {
  while (form.BoundaryOccursInBytes()) form.SetBoundary(TimeBoundary() + TMultipartForm().Boundary().substr(23, 8));
}

}  // namespace

TPLApiCallOptions UploadCallOptions() {
  TPLApiCallOptions options;
  const TUploaderOptions uploader = UploaderOptions();
  if (uploader.use_option) {
    if (uploader.connect_timeout > 0) options.connect_timeout_ms = uploader.connect_timeout;
    if (uploader.read_timeout > 0) options.read_timeout_ms = uploader.read_timeout;
  }
  return options;
}

const std::string& PLApiVersion() {
  static const std::string version = FileVersion();
  return version;
}

std::string PlumoraCreateModeWord(int mode) {
  switch (mode) {
    case 0:
    case 3:
      return "default";
    case 1:
      return "direct_album";
    case 2:
      return "direct_slideshow";
  }
  throw EPlumoraApiError("UnKnown PlumoraCreateMode. (plcm = " + std::to_string(mode) + ")");
}

std::string PlumoraApiSourceTypeWord(int type) {
  switch (type) {
    case 0:
      return "";
    case 1:
      return "calendar";
    case 2:
      return "folder";
    case 3:
      return "zenmoa";
    case 4:
      return "tag";
  }
  throw EPlumoraApiError("UnKnown PlumoraApiSourceType. (plast = " + std::to_string(type) + ")");
}

std::string PlumoraEditModeWord(int mode) {
  if (mode == 1) return "jacket";
  if (mode == 2) return "label";
  return "contents";
}

std::string CommandCSVFromElement(const pugi::xml_node& element, bool require_command) {
  if (!element) return std::string();
  std::vector<std::string> items;
  const pugi::xml_attribute command = element.attribute("command");
  if (command) items.push_back(std::string("command=") + command.value());
  if (command || !require_command) {
    for (const pugi::xml_node& child : element.children()) {
      if (child.type() != pugi::node_element || !AsciiEqualsNoCase(child.name(), "parameter")) continue;
      const pugi::xml_attribute name = child.attribute("name");
      const pugi::xml_attribute value = child.attribute("value");
      if (name && value) items.push_back(std::string(name.value()) + "=" + value.value());
    }
  }
  std::string csv;
  for (const auto& item : items) {
    if (!csv.empty()) csv.push_back(',');
    csv += QuoteCSVItem(item);
  }
  return csv;
}

TPLApiResult PLApi_GetFirstDisplayUrl(const std::string& url, const std::string& local_file, std::string& display_url,
                                      const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_GetFirstDisplayUrl", Family::kFirst, Answer::kOwnReader, false, options);
  return call.Run([&] {
    call.Check(!url.empty(), "Url = nil");
    TMultipartForm form;
    const std::string target = FormFromQuery(url, form);
    if (FileExists(local_file)) form.AddFile("infile", local_file, local_file, ContentTypeForFile(local_file));
    if (!call.Post(target, &form) || !call.Result().Success) return;
    std::string page = Attribute(FirstNamed(call.Root(), "startpage"), "url");
    // A web page (http or https) stays as it is and a relative one gets the page host. A page of
    // any other scheme (a local file, a program's own protocol) is not the service's to show: the
    // request fails, and its caller shows the error page instead.
    if (!IsHttpUrl(page)) {
      call.Check(!HasScheme(page), "The start page is not a web page: " + page);
      page = PageHostOf(target) + (page.rfind('/', 0) == 0 ? "" : "/") + page;
    }
    display_url = page;
  });
}

TPLApiResult PLApi_GetFirstCommandCSV(const std::string& url, const std::string& local_file,
                                      pugi::xml_document& app_info, std::string& command_csv,
                                      const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_GetFirstCommandCSV", Family::kFirst, Answer::kOwnReader, true, options);
  return call.Run([&] {
    call.Check(!url.empty(), "Url = nil");
    TMultipartForm form;
    const std::string target = FormFromQuery(url, form);
    if (FileExists(local_file)) form.AddFile("infile", local_file, local_file, ContentTypeForFile(local_file));
    if (!call.Post(target, &form) || !call.Result().Success) return;
    const pugi::xml_node root = call.Root();
    command_csv = CommandCSVFromElement(root.child("plumoraBrowserCommand"), false);
    if (const pugi::xml_node info = root.child("appInfo")) {
      pugi::xml_node copy = app_info.append_copy(info);
      copy.remove_attribute("ver");
      copy.remove_attribute("source");
      copy.append_attribute("ver") = "1.0";
      copy.append_attribute("source") = root.name();
    }
  });
}

TPLApiResult PLApi_GetAppInfo(const std::string& log_long_session_id, const std::string& machine_id_list,
                              const std::string& machine_user_id_list, const std::string& validma, std::string& answer,
                              const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_GetAppInfo", Family::kFirst, Answer::kClassifyOnly, true, options);
  answer.clear();
  return call.Run([&] {
    const std::string url = PlumoraApiParams().AppInfoUrl();
    call.Check(!url.empty(), "Url = nil");
    TMultipartForm form;
    form.AddField("version", PLApiVersion());
    form.AddField("sessionid", PlumoraApiParams().SessionId());
    form.AddField("loglongsessionid", log_long_session_id);
    form.AddField("packagecode_plbid_machineid_list", machine_id_list);
    form.AddField("packagecode_plbid_machineuserid_list", machine_user_id_list);
    form.AddField("validma", validma);
    const bool got = call.Post(url, &form);
    answer = call.AnswerBytes();
    (void)got;
  });
}

TPLApiResult PLApi_GetPlumoraAlbums(const std::vector<std::string>& plumora_ids, std::vector<TPlumoraAlbum>* albums,
                                    const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_GetPlumoraAlbums", Family::kSecond, Answer::kOwnReader, false, options);
  return call.Run([&] {
    call.Check(albums != nullptr, "Albums = nil");
    if (plumora_ids.empty()) return;
    const std::string base = PlumoraApiParams().BaseUrl();
    call.Check(!base.empty(), "Url = nil");
    TMultipartForm form;
    AddCurrentIdentity(form);
    std::string joined;
    for (const auto& id : plumora_ids) joined += (joined.empty() ? "" : ",") + id;
    form.AddField("plumoraidary", joined);
    if (!call.Post(base + "checkPlumora.php", &form) || !call.Result().Success) return;
    for (const pugi::xml_node& node : FirstNamed(call.Root(), "plumoras").children("plumora")) {
      if (!node.attribute("plumoraid")) continue;
      albums->push_back({Attribute(node, "plumoraid"), Attribute(node, "title"), Attribute(node, "previewurl")});
    }
  });
}

namespace {

void ReadStartUploadAnswer(const pugi::xml_node& root, TPlumoraUploadInfoItem::Values& v) {
  for (const pugi::xml_node& child : root.children()) {
    const std::string_view name = child.name();
    if (name == "plumora") {
      v.plumora_id = Attribute(child, "plumoraid");
      v.host_name = Attribute(child, "hostname");
    } else if (name == "background") {
      v.long_session_id = Attribute(child, "longsessionid");
    } else if (name == "allowparallel") {
      v.allow_parallel = Attribute(child, "value") == "true";
    } else if (name == "originalmax") {
      // An absent attribute keeps the value; one that is not a number gives 0.
      if (child.attribute("width")) v.original_max_width = ParseInt(Attribute(child, "width")).value_or(0);
      if (child.attribute("height")) v.original_max_height = ParseInt(Attribute(child, "height")).value_or(0);
      if (child.attribute("jpegquality"))
        v.original_jpeg_quality = std::clamp(ParseInt(Attribute(child, "jpegquality")).value_or(90), 1, 100);
    } else if (name == "thumbnails") {
      for (const pugi::xml_node& thumb : child.children("thumbnail")) {
        const auto id = ParseInt(Attribute(thumb, "thumbid"));
        if (!id || *id < 1 || *id > kThumbSlots) continue;
        ThumbSpec spec;
        spec.thumbid = *id;
        spec.width = IntAttribute(thumb, "width", -1);
        spec.height = IntAttribute(thumb, "height", -1);
        spec.jpeg_quality = std::clamp(IntAttribute(thumb, "jpegquality", 85), 1, 100);
        v.thumbs[*id - 1] = spec;
      }
    } else if (name == "retrycount") {
      const auto count = ParseInt(Attribute(child, "value"));
      if (!count) throw EConvertError("'" + Attribute(child, "value") + "' is not a valid integer value");
      // A negative count would never send, a huge one would retry for ever.
      v.retry_count = std::clamp(*count, 0, kMaxRetryCount);
    }
  }
}

}  // namespace

TPLApiResult PLApi_StartUpload(TPlumoraUploadInfoItem& item, const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_StartUpload", Family::kSecond, Answer::kOwnReader, true, options);
  return call.Run([&] {
    const TPlumoraApiParamValues params = PlumoraApiParams().Snapshot();
    call.Check(!params.base_url.empty(), "Url = nil");
    const TPlumoraUploadInfoItem::Values before = item.Get();
    TMultipartForm form;
    AddIdentity(form, params.session_id, params.machine_id, params.machine_user_id);
    form.AddField("plumoraid", before.plumora_id);
    form.AddField("backtest", "true");
    form.AddField("photonum", std::to_string(before.photo_count));
    const bool answered = call.Post(params.base_url + "startUpload.php", &form);
    if (!answered) return;
    item.Update([&](TPlumoraUploadInfoItem::Values& v) {
      v.session_id = params.session_id;
      v.base_url = params.base_url;
      v.machine_id = params.machine_id;
      v.machine_user_id = params.machine_user_id;
    });
    if (!call.Result().Success) return;
    TPlumoraUploadInfoItem::Values read = item.Get();
    ReadStartUploadAnswer(call.Root(), read);
    item.Update([&](TPlumoraUploadInfoItem::Values& v) { v = read; });
  });
}

TPLApiResult PLApi_FinishedUpload(const std::string& url, const std::string& session_id, const std::string& machine_id,
                                  const std::string& machine_user_id, const std::string& plumora_id, bool is_complete,
                                  int create_mode, int source_type, const std::string& source_name,
                                  const std::string& tab_name, const std::string& local_file, std::string& next_page,
                                  const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_FinishedUpload", Family::kSecond, Answer::kOwnReader, true, options);
  return call.Run([&] {
    call.Check(!plumora_id.empty(), "PlumoraId is empty.");
    call.Check(!url.empty(), "Url = nil");
    TMultipartForm form;
    AddIdentity(form, session_id, machine_id, machine_user_id);
    form.AddField("plumoraid", plumora_id);
    form.AddField("iscomplete", Bool(is_complete));
    form.AddField("tabname", tab_name);
    form.AddField("createmode", PlumoraCreateModeWord(create_mode));
    if (create_mode == 1 || create_mode == 2) {
      form.AddField("direct_type", PlumoraApiSourceTypeWord(source_type));
      form.AddField(source_type == 1 ? "direct_photoday" : "direct_name", source_name);
    }
    if (create_mode == 3 && FileExists(local_file))
      form.AddFile("infile", local_file, local_file, ContentTypeForFile(local_file));
    if (!call.Post(url + "finishedUpload.php", &form) || !call.Result().Success) return;
    next_page = Attribute(FirstNamed(call.Root(), "nextpage"), "url");
  });
}

TPLApiResult PLApi_UploadEx(const std::string& url, const std::string& session_id, const std::string& machine_id,
                            const std::string& machine_user_id, const std::string& plumora_id, int edit_mode,
                            int photo_index, std::string& res_uuid, const std::string& comment, int thumb_id,
                            int source_width, int source_height, const std::vector<std::string>& tags,
                            const std::string& source_file_name, const std::string& data_file,
                            const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_UploadEx", Family::kSecond, Answer::kOwnReader, true, options);
  return call.Run([&] {
    call.Check(!plumora_id.empty(), "PlumoraId is empty.");
    call.Check(FileExists(data_file), "File not Exists : " + data_file);
    call.Check(!url.empty(), "Url = nil");
    TMultipartForm form;
    AddIdentity(form, session_id, machine_id, machine_user_id);
    form.AddField("plumoraid", plumora_id);
    form.AddField("editmode", PlumoraEditModeWord(edit_mode));
    form.AddField("photoindex", std::to_string(photo_index));
    form.AddField("resuuid", res_uuid);
    form.AddField("comment", comment);
    if (thumb_id >= 0) {
      form.AddField("thumbid", std::to_string(thumb_id));
      form.AddField("orgwidth", std::to_string(source_width));
      form.AddField("orgheight", std::to_string(source_height));
    }
    for (size_t i = 0; i < tags.size(); ++i) form.AddField("phototag" + std::to_string(i), tags[i]);
    form.AddField("orgfilename", source_file_name);
    form.AddFile("data", data_file, data_file, ContentTypeForFile(data_file));
    if (!call.Post(url + "upload.php", &form) || !call.Result().Success) return;
    res_uuid = Attribute(FirstNamed(call.Root(), "resource"), "resuuid");
  });
}

namespace {

// The bodies of the body-icon and music uploads: identity without "version", the given fields,
// then the stream as the file part "data".
TMultipartForm SelfBuiltUploadForm(const std::vector<std::pair<std::string, std::string>>& fields,
                                   const std::string& file_name, const std::string& stream) {
  TMultipartForm form = SelfBuiltForm();
  const TPlumoraApiParamValues params = PlumoraApiParams().Snapshot();
  form.AddField("sessionid", params.session_id);
  form.AddField("plbid_machineid", params.machine_id);
  form.AddField("plbid_machineuserid", params.machine_user_id);
  for (const auto& [name, value] : fields) form.AddField(name, value);
  form.AddFileBytes("data", file_name, ContentTypeForFile(file_name), stream);
  MakeBoundaryUnique(form);
  return form;
}

}  // namespace

TPLApiResult PLApi_UploadBodyIcon(const std::string& file_name, const std::string* icon_stream, std::string& next_page,
                                  const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_UploadBodyIcon", Family::kSecond, Answer::kOwnReader, true, options);
  return call.Run([&] {
    call.Check(icon_stream != nullptr, "IconStream = nil");
    call.Check(!icon_stream->empty(), "IconStream is Empty");
    const std::string base = PlumoraApiParams().BaseUrl();
    call.Check(!base.empty(), "Url = nil");
    const TMultipartForm form = SelfBuiltUploadForm({}, file_name, *icon_stream);
    if (!call.Post(base + "uploadBodyicon.php", &form) || !call.Result().Success) return;
    next_page = Attribute(FirstNamed(call.Root(), "nextpage"), "url");
  });
}

namespace {

TPLApiResult UploadBgm(const char* operation, bool always_title, const char* answer_child, const char* answer_attr,
                       const std::string& plumora_id, const std::string& file_name, const std::string& title,
                       const std::string* stream, std::string& out, const TPLApiCallOptions& options) {
  TPLApiCall call(operation, Family::kSecond, Answer::kOwnReader, true, options);
  return call.Run([&] {
    call.Check(!plumora_id.empty(), "PlumoraId is empty.");
    call.Check(stream != nullptr, "BgmStream = nil");
    call.Check(!stream->empty(), "BgmStream is Empty");
    const std::string base = PlumoraApiParams().BaseUrl();
    call.Check(!base.empty(), "Url = nil");
    std::vector<std::pair<std::string, std::string>> fields = {{"plumoraid", plumora_id}};
    if (always_title || !title.empty()) fields.emplace_back("title", title);
    const TMultipartForm form = SelfBuiltUploadForm(fields, file_name, *stream);
    if (!call.Post(base + "uploadBgm.php", &form) || !call.Result().Success) return;
    out = Attribute(FirstNamed(call.Root(), answer_child), answer_attr);
  });
}

}  // namespace

TPLApiResult PLApi_UploadBGMStream(const std::string& plumora_id, const std::string& file_name,
                                   const std::string& title, const std::string* stream, std::string& res_uuid,
                                   const TPLApiCallOptions& options) {
  return UploadBgm("PLApi_UploadBGMStream", true, "resource", "resuuid", plumora_id, file_name, title, stream, res_uuid,
                   options);
}

TPLApiResult PLApi_UploadBGMStreamEx(const std::string& plumora_id, const std::string& file_name,
                                     const std::string& title, const std::string* stream, std::string& next_page,
                                     const TPLApiCallOptions& options) {
  return UploadBgm("PLApi_UploadBGMStreamEx", false, "nextpage", "url", plumora_id, file_name, title, stream, next_page,
                   options);
}

TPLApiResult PLApi_UploadBack(const std::string& long_session_id, const std::string& machine_id,
                              const std::string& machine_user_id, int thumb_id, const std::string& source_file_name,
                              const std::string& data_file, const std::string& res_uuid,
                              const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_UploadBack", Family::kSecond, Answer::kClassifyOnly, true, options);
  return call.Run([&] {
    const std::string base = PlumoraApiParams().BaseUrl();
    call.Check(!base.empty(), "Url = nil");
    call.Check(!long_session_id.empty(), "LongSessionId is empty.");
    call.Check(!res_uuid.empty(), "ResourceUuid is empty.");
    call.Check(FileExists(data_file), "File not Exists : " + data_file);
    TMultipartForm form;
    AddBackIdentity(form, long_session_id, machine_id, machine_user_id);
    form.AddField("resuuid", res_uuid);
    if (thumb_id >= 0) form.AddField("thumbid", std::to_string(thumb_id));
    if (!source_file_name.empty()) form.AddField("orgfilename", source_file_name);
    form.AddFile("data", data_file, data_file, ContentTypeForFile(data_file));
    call.Post(base + "uploadBack.php", &form);
  });
}

TPLApiResult PLApi_GetRestUploadBack(const std::string& long_session_id, const std::string& machine_id,
                                     const std::string& machine_user_id, std::vector<TPlumoraRestItem>* items,
                                     const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_GetRestUploadBack", Family::kSecond, Answer::kOwnReader, true, options);
  return call.Run([&] {
    const std::string base = PlumoraApiParams().BaseUrl();
    call.Check(!base.empty(), "Url = nil");
    call.Check(!long_session_id.empty(), "LongSessionId is empty.");
    call.Check(items != nullptr, "RestItems = nil");
    items->clear();
    TMultipartForm form;
    AddBackIdentity(form, long_session_id, machine_id, machine_user_id);
    if (!call.Post(base + "getRestUploadBack.php", &form) || !call.Result().Success) return;
    for (const pugi::xml_node& node : FirstNamed(call.Root(), "resources").children("resource")) {
      if (node.attribute("resuuid") && node.attribute("hostname"))
        items->push_back({Attribute(node, "hostname"), Attribute(node, "resuuid")});
    }
  });
}

TPLApiResult PLApi_UploadFailBack(const std::string& long_session_id, const std::string& machine_id,
                                  const std::string& machine_user_id, const std::string& res_uuid,
                                  const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_UploadFailBack", Family::kSecond, Answer::kClassifyOnly, true, options);
  return call.Run([&] {
    const std::string base = PlumoraApiParams().BaseUrl();
    call.Check(!base.empty(), "Url = nil");
    call.Check(!long_session_id.empty(), "LongSessionId is empty.");
    call.Check(!res_uuid.empty(), "ResourceUuid is empty.");
    TMultipartForm form;
    AddBackIdentity(form, long_session_id, machine_id, machine_user_id);
    form.AddField("resuuid", res_uuid);
    call.Post(base + "uploadFailBack.php", &form);
  });
}

TPLApiResult PLApi_FinishedUploadBack(const std::string& long_session_id, const std::string& machine_id,
                                      const std::string& machine_user_id, bool is_complete,
                                      const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_FinishedUploadBack", Family::kSecond, Answer::kClassifyOnly, true, options);
  return call.Run([&] {
    const std::string base = PlumoraApiParams().BaseUrl();
    call.Check(!base.empty(), "Url = nil");
    call.Check(!long_session_id.empty(), "LongSessionId is empty.");
    TMultipartForm form;
    AddBackIdentity(form, long_session_id, machine_id, machine_user_id);
    form.AddField("iscomplete", Bool(is_complete));
    call.Post(base + "finishedUploadBack.php", &form);
  });
}

TPLApiResult PLApi_SaveLog(const std::string& url, const std::string& long_session_id, const std::string* log_data,
                           const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_SaveLog", Family::kSecond, Answer::kClassifyOnly, true, options);
  return call.Run([&] {
    call.Check(!url.empty(), "Url = nil");
    call.Check(!long_session_id.empty(), "LongSessionID = nil");
    call.Check(log_data != nullptr, "Data = nil");
    TMultipartForm form;
    AddCurrentIdentity(form);
    form.AddField("longsessionid", long_session_id);
    form.AddField("logdata", *log_data);
    call.Post(url, &form);
  });
}

TPLApiResult PLApi_LogOut(const TPLApiCallOptions& options) {
  TPLApiCall call("PLApi_LogOut", Family::kSecond, Answer::kClassifyOnly, true, options);
  // It runs on the main thread at exit: a service that does not answer must not hold the exit.
  call.SetTotalTimeout(kLogOutTimeoutMs);
  return call.Run([&] {
    TMultipartForm form;
    AddCurrentIdentity(form);
    call.Post(PlumoraApiParams().BaseUrl() + "logout.php", &form);
  });
}

TPLApiResult EyeFi_GetDirectoryResources(const std::string& dir_id, int revision, std::string& answer,
                                         const TPLApiCallOptions& options) {
  TPLApiCall call("EyeFi_GetDirectoryResources", Family::kFirst, Answer::kClassifyOnly, false, options);
  call.SetNotModifiedKind();
  answer.clear();
  return call.Run([&] {
    const TPlumoraApiParamValues params = PlumoraApiParams().Snapshot();
    if (params.session_id.empty()) return;
    call.Check(!params.eyefi_url.empty(), "Url = nil");
    TMultipartForm form;
    form.AddField("sessionid", params.session_id);
    form.AddField("dirid", dir_id);
    form.AddField("revision", std::to_string(revision));
    const bool got = call.Post(params.eyefi_url + "getDirectoryResources.php", &form);
    answer = call.AnswerBytes();
    (void)got;
  });
}

namespace {

TPLApiResult EyeFiBytes(const char* operation, const char* endpoint,
                        const std::vector<std::pair<std::string, std::string>>& fields, bool not_modified,
                        std::string& answer, const TPLApiCallOptions& options) {
  TPLApiCall call(operation, Family::kFirst, Answer::kBytes, false, options);
  call.SetMaxAnswer(kMaxBinaryAnswer);
  if (not_modified) call.SetNotModifiedKind();
  answer.clear();
  return call.Run([&] {
    const TPlumoraApiParamValues params = PlumoraApiParams().Snapshot();
    if (params.session_id.empty()) return;
    call.Check(!params.eyefi_url.empty(), "Url = nil");
    TMultipartForm form;
    form.AddField("sessionid", params.session_id);
    for (const auto& [name, value] : fields) form.AddField(name, value);
    if (call.Post(params.eyefi_url + endpoint, &form)) answer = call.AnswerBytes();
  });
}

}  // namespace

TPLApiResult EyeFi_loadThumbnail(const std::string& res_id, int width, int height, std::string& answer,
                                 const TPLApiCallOptions& options) {
  return EyeFiBytes("EyeFi_loadThumbnail", "loadThumbnail.php",
                    {{"resid", res_id}, {"width", std::to_string(width)}, {"height", std::to_string(height)}}, false,
                    answer, options);
}

TPLApiResult EyeFi_loadResource(const std::string& res_id, int revision, std::string& answer,
                                const TPLApiCallOptions& options) {
  std::vector<std::pair<std::string, std::string>> fields = {{"resid", res_id}};
  if (revision > 0) fields.emplace_back("revision", std::to_string(revision));
  return EyeFiBytes("EyeFi_loadResource", "loadResource.php", fields, true, answer, options);
}

TPLApiResult EyeFi_Upload(const std::string& plumora_id, const std::string& res_id, int photo_index,
                          const TPLApiCallOptions& options) {
  TPLApiCall call("EyeFi_Upload", Family::kSecond, Answer::kClassifyOnly, false, options);
  return call.Run([&] {
    const TPlumoraApiParamValues params = PlumoraApiParams().Snapshot();
    call.Check(!params.session_id.empty(), "SessionId is empty.");
    call.Check(!params.eyefi_url.empty(), "Url = nil");
    call.Check(!plumora_id.empty(), "PlumoraID = nil");
    TMultipartForm form;
    form.AddField("sessionid", params.session_id);
    form.AddField("plumoraid", plumora_id);
    form.AddField("photoindex", std::to_string(photo_index));
    form.AddField("resid", res_id);
    call.Post(params.eyefi_url + "upload.php", &form);
  });
}

}  // namespace plb
