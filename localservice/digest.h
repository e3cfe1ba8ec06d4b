#pragma once
// Digests of received and served bytes, as lower-case hexadecimal text.
#include <string>

namespace plb::localservice {

std::string Md5Hex(const std::string& bytes);
std::string Sha256Hex(const std::string& bytes);

}  // namespace plb::localservice
