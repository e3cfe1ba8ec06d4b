#include "service/http/curl_library.h"

#include <mutex>
#include <optional>

#include "platform/shared_library.h"
#include "service/http/http_client.h"

namespace plb {

namespace {

// The soname has kept its number since libcurl 7.16; the functions bound below are in every
// libcurl of that number.
struct LoadedCurl {
  platform::SharedLibrary library{"libcurl.so.4"};
  CurlLibrary api{};

  LoadedCurl() {
    library.Bind(api.global_init, "curl_global_init");
    library.Bind(api.easy_init, "curl_easy_init");
    library.Bind(api.easy_setopt, "curl_easy_setopt");
    library.Bind(api.easy_perform, "curl_easy_perform");
    library.Bind(api.easy_getinfo, "curl_easy_getinfo");
    library.Bind(api.easy_cleanup, "curl_easy_cleanup");
    library.Bind(api.easy_strerror, "curl_easy_strerror");
    library.Bind(api.slist_append, "curl_slist_append");
    library.Bind(api.slist_free_all, "curl_slist_free_all");
    api.global_init(CURL_GLOBAL_DEFAULT);
  }
};

}  // namespace

const CurlLibrary& Curl() {
  static std::once_flag once;
  static std::optional<LoadedCurl> loaded;
  static std::string failure;
  std::call_once(once, [] {
    try {
      loaded.emplace();
    } catch (const std::exception& e) {
      failure = "HTTP is not available (install libcurl): " + MessageOf(e);
    }
  });
  if (!loaded) throw EHttpError(failure);
  return loaded->api;
}

}  // namespace plb
