#include "host/engine_error.h"

#include <string>

#include "host/error_forms.h"
#include "host/format.h"
#include "host/log_file.h"

namespace plb {
namespace {

template <class E>
[[noreturn]] void LogAndRaise(std::string_view pattern, const std::exception& e, std::string_view label) {
  std::string text = Format(pattern, label, ClassNameOf(e), MessageOf(e));
  WriteLog(text);
  throw E(std::move(text));
}

}  // namespace

void RaiseEngineInitializeError(const std::exception& e, std::string_view label) {
  LogAndRaise<EOstraEngineInitializeError>("%s の初期化に失敗しました。\r\n\r\n%s\r\n%s\r\n", e, label);
}

void RaiseEngineReleaseError(const std::exception& e, std::string_view label) {
  LogAndRaise<EOstraEngineError>("%s の解放に失敗しました。\r\n\r\n%s\r\n%s\r\n", e, label);
}

void RaiseEngineLoadDataError(const std::exception& e, std::string_view label) {
  LogAndRaise<EOstraEngineLoadDataError>("%s のデータの読込に失敗しました。\r\n\r\n%s\r\n%s\r\n", e, label);
}

void RaiseEngineSaveDataError(const std::exception& e, std::string_view label) {
  LogAndRaise<EOstraEngineError>("%s のデータの保存に失敗しました。\r\n\r\n%s\r\n%s\r\n", e, label);
}

void RaiseEngineSetupDataError(const std::exception& e, std::string_view label) {
  LogAndRaise<EOstraEngineError>("%s のデータのセットアップに失敗しました。\r\n\r\n%s\r\n%s\r\n", e, label);
}

void RaiseEngineError(std::string_view text) {
  WriteLog(text);
  throw EOstraEngineError(std::string(text));
}

void RaiseEngineRefusal(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r\n");
  const auto last = text.find_last_not_of(" \t\r\n");
  const std::string_view trimmed = first == std::string_view::npos ? "" : text.substr(first, last - first + 1);
  WriteLog("EOstraEngineError\r\n" + std::string(trimmed));
  throw EOstraEngineError(std::string(text));
}

void RaiseEngineOperationError(const std::exception& e, std::string_view label) {
  RaiseEngineRefusal(ErrorOccurredText(label, e));
}

}  // namespace plb
