#pragma once
// The errors of the service client.
#include "platform/error.h"

namespace plb {

PLB_DECLARE_ERROR(EPlumoraApiError, Error);
PLB_DECLARE_ERROR(EPlumoraApiParamsError, Error);
// Start errors: the start shows them and ends.
PLB_DECLARE_ERROR(EPlumoraApiParamsInitialzeError, EPlumoraApiParamsError);
PLB_DECLARE_ERROR(EPlumoraApiParamsLogError, EPlumoraApiParamsInitialzeError);
PLB_DECLARE_ERROR(EPlumoraBrowserCommandError, Error);
PLB_DECLARE_ERROR(ELocalParamFileError, Error);

}  // namespace plb
