#pragma once
// The application-information document the local service hands out: every setting the browser
// reads, pointing at the service itself.
#include <string>

namespace plb::localservice {

// base_url: the service's own address, ending in "/". The update-check and installer URLs are
// empty unless an update is offered.
std::string BuildAppInfoDocument(const std::string& base_url, const std::string& update_check_url = "",
                                 const std::string& installer_url = "");

}  // namespace plb::localservice
