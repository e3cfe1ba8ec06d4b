#pragma once
// libcurl, loaded at the first request: with OpenSSL and the rest it brings it is a few dozen
// shared objects that the commands without a request never need.
#include <curl/curl.h>

namespace plb {

struct CurlLibrary {
  decltype(&::curl_global_init) global_init;
  decltype(&::curl_easy_init) easy_init;
  decltype(&::curl_easy_setopt) easy_setopt;
  decltype(&::curl_easy_perform) easy_perform;
  decltype(&::curl_easy_getinfo) easy_getinfo;
  decltype(&::curl_easy_cleanup) easy_cleanup;
  decltype(&::curl_easy_strerror) easy_strerror;
  decltype(&::curl_slist_append) slist_append;
  decltype(&::curl_slist_free_all) slist_free_all;
};

// The library, loaded and initialised once. Raises EHttpError ("HTTP is not available ...",
// naming the library and the loader's reason) when it cannot be loaded, at this and every later
// call.
const CurlLibrary& Curl();

}  // namespace plb
