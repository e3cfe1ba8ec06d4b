#pragma once
// The output sizes of a collage: eleven kinds (free size, screen size, photo-book formats, print
// formats), each with a landscape and a portrait geometry. The table has built-in contents that the
// application-information document may redefine at start-up, while it is open for editing.
#include <cstdint>
#include <string>

namespace plb {

constexpr int kCollageSizeKinds = 11;

struct TCollageGeometry {
  int32_t width = 0, height = 0;
  float left = 0, top = 0, right = 0, bottom = 0;  // margins as fractions of the width or height
};

// The screen size kinds 0 and 1 use; 1920 × 1080 until the shell sets the real one.
void SetCollageScreenSize(int32_t width, int32_t height);

std::string CollageSizeName(int kind);
bool CollageSizeSeparator(int kind);
int CollageMenuKind(int position);
int CollageDefaultKind();
TCollageGeometry CollageGeometry(int kind, bool portrait);

// Editing, refused once the table was closed.
void SetCollageSizeEntry(int kind, const std::string& name, int position, bool separator);
// A photo area with margins (pixels); exact: the record is that size, otherwise its long side
// becomes 2048.
void SetCollageSizeGeometry(int kind, bool portrait, bool exact, int32_t bottom, int32_t right, int32_t top,
                            int32_t left, int32_t photoHeight, int32_t photoWidth);
void SetCollageDefaultKind(int kind);
void CloseCollageSizeTable();
// For tests: the built-in contents, open again.
void ResetCollageSizeTable();

}  // namespace plb
