#pragma once
// The errors of the service client.
#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EPlumoraApiError, Error);
PLB_DECLARE_ERROR(EPlumoraApiParamsInitialzeError, Error);
PLB_DECLARE_ERROR(EPlumoraApiParamsLogError, Error);
PLB_DECLARE_ERROR(EPlumoraBrowserCommandError, Error);
PLB_DECLARE_ERROR(ELocalParamFileError, Error);

}  // namespace plb
