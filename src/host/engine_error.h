#pragma once
// The catalog engine's errors and the operations that report a failed engine step: each formats
// the step's label with the caught error's class name and message, writes that text to the
// diagnostic log and raises it as the engine error of the failure's kind.
#include <exception>
#include <string_view>

#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EOstraEngineError, Error);
// A start error: the process start ends with the start-error dialog.
PLB_DECLARE_ERROR(EOstraEngineInitializeError, EOstraEngineError);
PLB_DECLARE_ERROR(EOstraEngineLoadDataError, EOstraEngineInitializeError);
PLB_DECLARE_ERROR(EOstraEngineStartLogError, EOstraEngineInitializeError);

// "%s の初期化に失敗しました。\r\n\r\n%s\r\n%s\r\n" as EOstraEngineInitializeError.
[[noreturn]] void RaiseEngineInitializeError(const std::exception& e, std::string_view label);
// "%s の解放に失敗しました。\r\n\r\n%s\r\n%s\r\n" as EOstraEngineError.
[[noreturn]] void RaiseEngineReleaseError(const std::exception& e, std::string_view label);
// "%s のデータの読込に失敗しました。\r\n\r\n%s\r\n%s\r\n" as EOstraEngineLoadDataError.
[[noreturn]] void RaiseEngineLoadDataError(const std::exception& e, std::string_view label);
// "%s のデータの保存に失敗しました。\r\n\r\n%s\r\n%s\r\n" as EOstraEngineError.
[[noreturn]] void RaiseEngineSaveDataError(const std::exception& e, std::string_view label);
// "%s のデータのセットアップに失敗しました。\r\n\r\n%s\r\n%s\r\n" as EOstraEngineError.
[[noreturn]] void RaiseEngineSetupDataError(const std::exception& e, std::string_view label);
// The text itself, logged unchanged, as EOstraEngineError.
[[noreturn]] void RaiseEngineError(std::string_view text);
// A refusal of an engine operation: the line "EOstraEngineError" and the trimmed text are logged,
// the text is raised as EOstraEngineError.
[[noreturn]] void RaiseEngineRefusal(std::string_view text);
// "%s でエラーが発生しました。\r\n\r\n%s\r\n%s\r\n" (label, class name, message), logged as a
// refusal and raised as EOstraEngineError: how an engine operation passes on what failed inside it.
[[noreturn]] void RaiseEngineOperationError(const std::exception& e, std::string_view label);

}  // namespace plb
