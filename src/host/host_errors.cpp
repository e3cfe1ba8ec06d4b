#include "host/host_errors.h"

#include "host/error_forms.h"

namespace plb {

void RaiseFileFunctionsError(std::string_view utility, const std::exception& e) {
  throw EFileFunctionsError(RaisedInText(utility, e));
}

EHCCopyDataError CopyDataTargetMissingError() {
  return EHCCopyDataError(ErrorOccurredText("CopyDataToHWnd", Error("TargetHWnd = 0")));
}

}  // namespace plb
