#pragma once
#include "platform/error.h"

namespace plb {

// Damaged enciphered data or a padding that does not check out.
PLB_DECLARE_ERROR(ECryptError, Error);

}  // namespace plb
