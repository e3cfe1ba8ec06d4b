#pragma once
// Options that take whole numbers within a range. A value is checked as the command line is
// read, so a bad one is a usage error that names the option and the range.
#include <cstdint>
#include <functional>
#include <string>

#include "subcommand.h"

namespace plb::cli {

// The number text spells; raises UsageError naming the option when it is not a whole number
// from low to high.
int WholeNumber(const std::string& option, const std::string& text, int low, int high);

// Adds the option; set receives its number when it is given.
CLI::Option* AddWholeNumberOption(CLI::App& app, const std::string& option, int low, int high,
                                  std::function<void(int)> set, const std::string& description);

// --size N: the thumbnail box of plb thumb and plb thumbs, 16 to 1024 pixels. size keeps its
// value when the option is not given; it must outlive the parse.
CLI::Option* AddThumbnailSizeOption(CLI::App& app, int32_t& size);

}  // namespace plb::cli
