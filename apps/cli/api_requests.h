#pragma once
// The service requests plb api can send: each reads its FIELD=VALUE items and adds what the
// answer carried beyond the common result to out.
#include <map>
#include <string>

#include "service/api/plumora_api.h"

namespace plb::cli {

using ApiFields = std::map<std::string, std::string>;

struct ApiRequest {
  const char* name;
  const char* fields;  // the FIELD names the request takes
  TPLApiResult (*send)(const ApiFields& fields, ApiFields& out);
};

// The request of the name; null when there is none.
const ApiRequest* FindApiRequest(const std::string& name);

// " Name(fields)" for every request, in name order.
std::string ApiRequestList();

// The value of a field; fallback when it is not given.
std::string ApiField(const ApiFields& fields, const std::string& name, const std::string& fallback = "");

}  // namespace plb::cli
