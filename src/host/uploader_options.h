#pragma once
// The uploader options: process-wide, read while the program's modules are initialised from an
// optional "debug.ini" beside the program file and then from the subkey "upload" of the per-user
// settings key (a stored value wins over the file).
#include <string>
#include <vector>

#include "host/config_values.h"

namespace plb {

struct TUploaderOptions {
  bool use_option = false;     // "UseOption": apply the four below at all
  bool allow_parallel = true;  // "AllowParallel"
  int connect_timeout = 7000;  // "ConnectTimeout", milliseconds, applied when more than 0
  int read_timeout = 7000;     // "ReadTimeout", milliseconds, applied when more than 0
  int max_uploader_count = 4;  // "MaxUploaderCount", applied when more than 0

  bool operator==(const TUploaderOptions&) const = default;
};

// Sets the defaults, overlays "debug.ini" (section "PLAPI"; in a file that exists, a missing key
// takes the file's own default: UseOption and AllowParallel true, the three numbers 0), then every
// value stored in the registry (one of another type is passed over). Settings that cannot be read
// keep what the file gave; the failure is logged.
void LoadUploaderOptions(const std::string& debug_ini_path);
// The same with "debug.ini" in the program's folder.
void LoadUploaderOptions();

// The options now in force.
TUploaderOptions UploaderOptions();

// Makes options the ones in force and writes all five values to the registry (the options
// dialog); registry errors pass on.
void SaveUploaderOptions(const TUploaderOptions& options);

// The five options as LoadUploaderOptions(debug_ini_path) would give them, each with where it
// comes from ("file" for "debug.ini").
std::vector<ConfigValueView> DescribeUploaderOptions(const std::string& debug_ini_path);

// The settings key's subkey that holds the options.
std::string UploaderOptionsKey();

}  // namespace plb
