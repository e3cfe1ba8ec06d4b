#pragma once
// Texts issued by the service (host names, photo-book ids, long session ids, resource UUIDs) end
// up as folder and file names below the image-library folder. This is the one place where such a
// text becomes a path component: whatever the service answers, the result names one entry inside
// its parent folder and can never climb out of it.
#include <string>
#include <string_view>

namespace plb {

// "/", "\\", "%", NUL and other control bytes become "%XX" (upper-case hexadecimal), so distinct
// texts stay distinct; an empty text, "." and ".." become "Unknown". Any other text, every valid
// identifier included, is returned unchanged, so the names the service knows stay as they are.
std::string ServicePathComponent(std::string_view text);

}  // namespace plb
