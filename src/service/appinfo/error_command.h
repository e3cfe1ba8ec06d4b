#pragma once
// The error pages the service names for each kind of failure, and the filter that turns an error
// entry of the application-information document into a command CSV.
#include <map>
#include <pugixml.hpp>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace plb {

// Called for every item while a command element becomes a command CSV: may rewrite the value and
// answers whether the item goes into the CSV.
class TCommandParamChecker {
 public:
  virtual ~TCommandParamChecker() = default;
  virtual bool Check(const std::string& name, std::string& value) = 0;
};

// The filter of an error entry: a "pageurl" is mapped to the page folder when it is a "file://"
// value and gets the failure's kind word, code and the just-after-update text as its query.
class TErrorUrlChecker : public TCommandParamChecker {
 public:
  TErrorUrlChecker(std::string kind_word, std::string code, bool just_after_update);
  bool Check(const std::string& name, std::string& value) override;

 private:
  std::string kind_word_;
  std::string code_;
  std::string just_after_update_;
};

// The query of an error page: "value=..&code=..&justafterupdate=..", after "?" or, when the URL
// already has a query, after "&".
std::string ErrorPageUrl(const std::string& url, std::string_view kind_word, std::string_view code,
                         bool just_after_update);

// Items quoted each and comma-joined: the form of the commands the service's pages run.
std::string QuotedCommandCSV(const std::vector<std::string>& items);

// The command CSV of a command element: "command=" and the attribute, then each "parameter" child
// with name and value, each item passed through the checker; items quoted and comma-joined.
std::string CommandCSVThroughChecker(const pugi::xml_node& element, TCommandParamChecker& checker);

// The command CSV of one "type" entry of "errormessages"; empty when it has neither "command" nor
// "src" (the entry is then removed).
std::string ErrorEntryCommand(const pugi::xml_node& type, bool just_after_update);

// The process-wide error-page table. Worker threads look pages up while the main thread fills it.
class TPlumoraErrorCommand {
 public:
  void SetLastFailure(const std::string& kind_word, const std::string& code);
  // An empty command removes the entry.
  void Add(const std::string& kind_word, const std::string& code, const std::string& command);
  // The page for (kind, code), else for (kind, ""), else for ("", ""); empty when none.
  std::string Lookup(const std::string& kind_word, const std::string& code) const;
  std::string LookupLastFailure() const;
  std::string LastFailureKind() const;
  std::string LastFailureCode() const;
  void SetOfflineCommand(const std::string& command);
  std::string OfflineCommand() const;
  void SetNetworkCheck(bool on);
  bool NetworkCheck() const;
  size_t Size() const;
  // Back to the state of a new program (tests).
  void Clear();

 private:
  static std::string Key(std::string_view kind_word, std::string_view code);
  std::string LookupHoldingLock(const std::string& kind_word, const std::string& code) const;

  mutable std::shared_mutex lock_;
  std::map<std::string, std::string> table_;  // key lower-cased: compared without regard to case
  std::string last_kind_;
  std::string last_code_;
  std::string offline_command_;
  bool network_check_ = true;
};

TPlumoraErrorCommand& PlumoraErrorCommand();

// Entries of the error table and its offline page cannot grow without bound from a hostile document.
inline constexpr size_t kMaxErrorEntries = 1000;

}  // namespace plb
