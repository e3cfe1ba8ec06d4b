#pragma once
// The application-information document the local service hands out: every setting the browser
// reads, pointing at the service itself.
#include <string>

namespace plb::localservice {

// base_url: the service's own address, ending in "/".
std::string BuildAppInfoDocument(const std::string& base_url);

}  // namespace plb::localservice
