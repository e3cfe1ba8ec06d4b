#pragma once
// The state behind the local service's endpoints: sessions, photo books, long sessions, resources
// and which of their sizes arrived, received files on disk, usage and operation logs, and the
// configurable parts of the answers.
#include <cstdint>
#include <map>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "localservice/update_offer.h"

namespace plb::localservice {

struct FormPart {
  std::string name;
  std::string filename;
  std::string content_type;
  std::string content;
  bool is_file = false;
};

class Form {
 public:
  explicit Form(std::vector<FormPart> parts) : parts_(std::move(parts)) {}
  bool Has(const std::string& name) const;
  std::string Text(const std::string& name) const;  // the first part with the name
  const FormPart* Part(const std::string& name) const;
  const std::vector<FormPart>& Parts() const { return parts_; }

 private:
  std::vector<FormPart> parts_;
};

struct Answer {
  int status = 200;
  std::string content_type = "text/xml; charset=UTF-8";
  std::string body;
};

class ServiceState {
 public:
  ServiceState(std::string data_dir, std::string base_url);

  // Answers one endpoint of the API ("/api/<name>.php", "/eyefi/<name>.php").
  Answer Handle(const std::string& path, const Form& form, const std::string& user_agent);

  // Admin: configuration of answers (names as in the admin endpoint) and sessions.
  void Configure(const std::map<std::string, std::string>& items);
  void AddSession(const std::string& session_id);
  nlohmann::json StateJson() const;
  void Reset();

  // What the service holds of one photo book, as GET /api/books/ID answers it; null when none.
  nlohmann::json BookJson(const std::string& id) const;

  const std::string& BaseUrl() const { return base_url_; }
  // Called with the lock held (through Handle) or from a route that takes it (AppInfoDocumentLocked).
  std::string AppInfoDocument() const;
  std::string AppInfoDocumentLocked() const {
    std::lock_guard guard(lock_);
    return AppInfoDocument();
  }
  // The configuration of the offered update, read under the lock.
  UpdateOfferConfig UpdateOffer() const;

 private:
  struct Book {
    std::string host_name;
    std::string title;
    std::string preview_url;
    std::vector<std::string> resources;
    std::vector<std::string> music;
    // The book's jacket and label: edit mode ("jacket", "label") -> resource. They are not
    // photos of the book's body and so not among its resources.
    std::map<std::string, std::string> covers;
    // The upload session now open on the book: photo index -> resource, so a photo whose first
    // answer was lost is not made a second resource when the client sends it again.
    std::map<std::string, std::string> round_photos;
    // The sizes the last start answer asked for: 0 the full image, 1..7 the thumbnails.
    std::map<int, std::pair<int, int>> asked;
  };
  struct LongSession {
    std::string book;
    bool open = true;
  };
  struct Resource {
    std::string book;
    std::string long_session;
    std::string photo_index;
    std::map<int, uint64_t> thumbs;  // thumbid -> bytes received
    std::map<int, std::pair<int, int>> sizes;  // 0 full image, 1..7 thumbnails -> decoded size
    bool full = false;
    bool failed = false;
    std::string original_file_name;
  };

  Answer Api(const std::string& name, const Form& form);
  Answer EyeFi(const std::string& name, const Form& form);
  Answer StartUpload(const Form& form);
  Answer Upload(const Form& form);
  Answer UploadBack(const Form& form);
  Answer GetRestUploadBack(const Form& form);
  Answer CheckPlumora(const Form& form);
  Answer UploadBgm(const Form& form);
  Answer KeepLog(const std::string& name, const Form& form);
  // Empty when data is a JPEG that decodes whole within the size asked for slot (0 the full
  // image); else an error document. size receives the decoded size.
  std::string CheckImage(const Book& book, int slot, const std::string& data, std::pair<int, int>& size) const;
  // The books, long sessions and resources survive a restart of the service.
  void Save() const;
  void Load();
  std::string CheckSession(const Form& form) const;  // empty when valid, else an error document
  std::string CheckLongSession(const Form& form) const;
  std::string StoreFile(const std::string& book, const std::string& name, const std::string& bytes);
  std::string NextPage(const std::string& book) const;
  std::string Config(const std::string& name, const std::string& fallback) const;
  std::string CommandElement() const;
  UpdateOfferConfig OfferConfig() const;  // lock held

  mutable std::mutex lock_;
  std::string data_dir_;
  std::string base_url_;
  std::map<std::string, std::string> config_;
  std::set<std::string> sessions_;
  std::map<std::string, Book> books_;
  std::map<std::string, LongSession> long_sessions_;
  std::map<std::string, Resource> resources_;
  // A usage report or operation log as it arrived: endpoint "saveLog" or "operationLog", the
  // period id of a report, the file name and type of an operation log, the stored copy.
  struct LogRecord {
    std::string endpoint;
    std::string long_session_id;
    std::string filename;
    std::string content_type;
    std::string file;
  };
  std::vector<std::string> logs_;
  std::vector<LogRecord> log_records_;
  int next_book_ = 1;
  int next_long_session_ = 1;
  int next_resource_ = 1;
  int next_log_ = 1;
};

// An error document.
std::string ErrorDocument(const std::string& code, const std::string& message);
// Escapes a text for an XML attribute or element.
std::string XmlEscape(const std::string& text);

}  // namespace plb::localservice
