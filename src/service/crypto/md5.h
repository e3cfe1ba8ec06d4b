#pragma once
// The MD5 digest (RFC 1321), used only to check that a download arrived as the service sent it; it
// is no protection against a service that lies.
#include <string>
#include <string_view>

namespace plb {

// The digest of bytes as 32 lower-case hexadecimal digits.
std::string Md5Hex(std::string_view bytes);

}  // namespace plb
