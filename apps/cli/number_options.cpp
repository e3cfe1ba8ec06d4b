#include "number_options.h"

#include <cerrno>
#include <cstdlib>

namespace plb::cli {

int WholeNumber(const std::string& option, const std::string& text, int low, int high) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno == ERANGE || v < low || v > high)
    throw UsageError{option + " must be a whole number from " + std::to_string(low) + " to " + std::to_string(high)};
  return static_cast<int>(v);
}

CLI::Option* AddWholeNumberOption(CLI::App& app, const std::string& option, int low, int high,
                                  std::function<void(int)> set, const std::string& description) {
  return app
      .add_option_function<std::string>(
          option, [option, low, high, set](const std::string& text) { set(WholeNumber(option, text, low, high)); },
          description + " (" + std::to_string(low) + " to " + std::to_string(high) + ")")
      ->type_name("N");
}

CLI::Option* AddThumbnailSizeOption(CLI::App& app, int32_t& size) {
  return AddWholeNumberOption(app, "--size", 16, 1024, [&size](int v) { size = v; }, "the thumbnail box in pixels");
}

}  // namespace plb::cli
