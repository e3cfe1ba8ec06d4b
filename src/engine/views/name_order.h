#pragma once
// The order of file and folder names. Names are identified exactly (two files differing only in
// letter case are two files), but shown and kept in a case-insensitive order; equal folded names
// fall back to their bytes, so the order is total and consistent with identity, and a binary
// search by this order finds exactly the name asked for.
#include <string>
#include <string_view>

namespace plb {

// Negative, zero or positive as a sorts before, equal to or after b. Letter case is folded for
// ASCII and the full-width Latin letters; other bytes compare unsigned.
int CompareNames(std::string_view a, std::string_view b);

inline bool NameLess(std::string_view a, std::string_view b) {
  return CompareNames(a, b) < 0;
}

// The text with the letters that CompareNames folds turned to lower case.
std::string FoldCase(std::string_view text);

}  // namespace plb
