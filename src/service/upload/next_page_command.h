#pragma once
// What the program does after the service took an upload: the service's next page, when it named
// an http page, as a "startpage" command; else the command the answer carried (maybe none).
#include <string>

namespace plb {

struct TPLApiResult;

std::string NextPageCommand(const TPLApiResult& answer, const std::string& next_page);

}  // namespace plb
