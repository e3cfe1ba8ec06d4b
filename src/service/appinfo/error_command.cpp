#include "service/appinfo/error_command.h"

#include <mutex>
#include <vector>

#include "host/ascii_case.h"
#include "service/appinfo/file_url.h"
#include "service/commands/command_csv.h"

namespace plb {

namespace {
const char* BoolText(bool value) {
  return value ? "true" : "false";
}
}  // namespace

std::string QuotedCommandCSV(const std::vector<std::string>& items) {
  std::string csv;
  for (const auto& item : items) {
    if (!csv.empty()) csv.push_back(',');
    csv += QuoteCSVItem(item);
  }
  return csv;
}

std::string ErrorPageUrl(const std::string& url, std::string_view kind_word, std::string_view code,
                         bool just_after_update) {
  // A page that already has a query gets the failure appended to it, not a second "?".
  const char separator = url.find('?') == std::string::npos ? '?' : '&';
  return url + separator + "value=" + std::string(kind_word) + "&code=" + std::string(code) +
         "&justafterupdate=" + BoolText(just_after_update);
}

TErrorUrlChecker::TErrorUrlChecker(std::string kind_word, std::string code, bool just_after_update)
    : kind_word_(std::move(kind_word)), code_(std::move(code)), just_after_update_(BoolText(just_after_update)) {}

bool TErrorUrlChecker::Check(const std::string& name, std::string& value) {
  if (AsciiEqualsNoCase(name, "pageurl"))
    value = ErrorPageUrl(MapFileUrl(value), kind_word_, code_, just_after_update_ == "true");
  return true;
}

std::string CommandCSVThroughChecker(const pugi::xml_node& element, TCommandParamChecker& checker) {
  std::vector<std::string> items;
  if (const pugi::xml_attribute command = element.attribute("command")) {
    std::string value = command.value();
    if (checker.Check("command", value)) items.push_back("command=" + value);
  }
  for (const pugi::xml_node& child : element.children("parameter")) {
    const pugi::xml_attribute name = child.attribute("name");
    const pugi::xml_attribute value = child.attribute("value");
    if (!name || !value) continue;
    std::string text = value.value();
    if (checker.Check(name.value(), text)) items.push_back(std::string(name.value()) + "=" + text);
  }
  return QuotedCommandCSV(items);
}

std::string ErrorEntryCommand(const pugi::xml_node& type, bool just_after_update) {
  const std::string kind = type.attribute("value").value();
  const std::string code = type.attribute("code").value();
  if (type.attribute("command")) {
    TErrorUrlChecker checker(kind, code, just_after_update);
    return CommandCSVThroughChecker(type, checker);
  }
  if (const pugi::xml_attribute src = type.attribute("src")) {
    const std::string page = ErrorPageUrl(MapFileUrl(src.value()), kind, code, just_after_update);
    return QuotedCommandCSV({"command=startpage", "pageurl=" + page, "dispTabMode=ver1"});
  }
  return std::string();
}

std::string TPlumoraErrorCommand::Key(std::string_view kind_word, std::string_view code) {
  return AsciiLowered(std::string(kind_word) + "[" + std::string(code) + "]");
}

void TPlumoraErrorCommand::SetLastFailure(const std::string& kind_word, const std::string& code) {
  std::unique_lock guard(lock_);
  last_kind_ = kind_word;
  last_code_ = code;
}

void TPlumoraErrorCommand::Add(const std::string& kind_word, const std::string& code, const std::string& command) {
  std::unique_lock guard(lock_);
  const std::string key = Key(kind_word, code);
  if (command.empty()) {
    table_.erase(key);
  } else if (table_.size() < kMaxErrorEntries || table_.count(key) != 0) {
    table_[key] = command;
  }
}

std::string TPlumoraErrorCommand::LookupHoldingLock(const std::string& kind_word, const std::string& code) const {
  for (const std::string& key : {Key(kind_word, code), Key(kind_word, ""), Key("", "")}) {
    const auto found = table_.find(key);
    if (found != table_.end() && !found->second.empty()) return found->second;
  }
  return std::string();
}

std::string TPlumoraErrorCommand::Lookup(const std::string& kind_word, const std::string& code) const {
  std::shared_lock guard(lock_);
  return LookupHoldingLock(kind_word, code);
}

std::string TPlumoraErrorCommand::LookupLastFailure() const {
  std::shared_lock guard(lock_);
  return LookupHoldingLock(last_kind_, last_code_);
}

std::string TPlumoraErrorCommand::LastFailureKind() const {
  std::shared_lock guard(lock_);
  return last_kind_;
}

std::string TPlumoraErrorCommand::LastFailureCode() const {
  std::shared_lock guard(lock_);
  return last_code_;
}

void TPlumoraErrorCommand::SetOfflineCommand(const std::string& command) {
  std::unique_lock guard(lock_);
  offline_command_ = command;
}

std::string TPlumoraErrorCommand::OfflineCommand() const {
  std::shared_lock guard(lock_);
  return offline_command_;
}

void TPlumoraErrorCommand::SetNetworkCheck(bool on) {
  std::unique_lock guard(lock_);
  network_check_ = on;
}

bool TPlumoraErrorCommand::NetworkCheck() const {
  std::shared_lock guard(lock_);
  return network_check_;
}

size_t TPlumoraErrorCommand::Size() const {
  std::shared_lock guard(lock_);
  return table_.size();
}

void TPlumoraErrorCommand::Clear() {
  std::unique_lock guard(lock_);
  table_.clear();
  last_kind_.clear();
  last_code_.clear();
  offline_command_.clear();
  network_check_ = true;
}

TPlumoraErrorCommand& PlumoraErrorCommand() {
  static TPlumoraErrorCommand table;  // made on first use (thread-safe), freed at exit
  return table;
}

}  // namespace plb
