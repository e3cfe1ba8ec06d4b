#include "service/upload/next_page_command.h"

#include "host/ascii_case.h"
#include "service/api/plumora_api.h"

namespace plb {

std::string NextPageCommand(const TPLApiResult& answer, const std::string& next_page) {
  if (AsciiStartsWithNoCase(next_page, "http:")) {
    std::string item = "pageurl=" + next_page;
    std::string quoted = "\"";
    for (char c : item) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return "\"command=startpage\"," + quoted + "\"";
  }
  return answer.Command;
}

}  // namespace plb
