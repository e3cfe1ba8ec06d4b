#pragma once
#include <cstdint>

namespace plb::blowfish {

extern const uint32_t kInitialP[18];
extern const uint32_t kInitialS0[256];
extern const uint32_t kInitialS1[256];
extern const uint32_t kInitialS2[256];
extern const uint32_t kInitialS3[256];

}  // namespace plb::blowfish
