#pragma once
// Errors of the host's utilities and of handing text to the running instance's window.
#include <exception>
#include <string_view>

#include "platform/error.h"

namespace plb {

// Raised by the path and file utilities, always with the text "%s Raised in %s. ( %s )" of the
// underlying error's class name, the utility's name and that error's message.
PLB_DECLARE_ERROR(EFileFunctionsError, Error);

// Sending text to the running instance's window failed.
PLB_DECLARE_ERROR(EHCCopyDataError, Error);

// Raises EFileFunctionsError around the error a utility caught.
[[noreturn]] void RaiseFileFunctionsError(std::string_view utility, const std::exception& e);

// The error of a hand-off without a target window: "CopyDataToHWnd" in the
// "%s でエラーが発生しました。..." form around the message "TargetHWnd = 0".
EHCCopyDataError CopyDataTargetMissingError();

}  // namespace plb
