#pragma once
// Writing a catalog photo as a new JPEG file as the user sees it: trimmed, turned upright,
// optionally resized, colour-adjusted, with the source's EXIF block brought up to date. The file
// is written through a temporary file and renamed into place, so an existing file of that name
// (the photo itself included) is either replaced whole or left as it was.
#include <cstdint>
#include <string>

#include "images/codec/bitmap.h"
#include "platform/error.h"

namespace plb {

class TCatalogItem;

PLB_DECLARE_ERROR(ESaveImagesError, Error);

struct TSaveOptions {
  bool resize = false;
  int32_t width = 2048;  // the box (keep aspect) or the exact size (without)
  int32_t height = 2048;
  bool keepAspect = true;
  int quality = 90;  // JPEG quality 1..100
};

// Decodes the item's file at full size, crops it to the trimming and turns it by the item's
// orientation ("LoadImage"), resizes it when asked ("ResizeImage") and applies the colour
// adjustment ("EffectImage"). An empty bitmap when the file gives no picture. owner names the
// caller in the error texts: "%s raised in %s.%s. ( %s )".
Bitmap RenderPhotoForSave(const TCatalogItem& item, const TSaveOptions& options, const std::string& owner);

// Encodes picture and writes it to destination with the EXIF block of the item's file
// ("SaveJpegImage").
void WriteSavedPhoto(const Bitmap& picture, const TCatalogItem& item, const std::string& destination,
                     const TSaveOptions& options, const std::string& owner);

// Renders and writes one photo; false when the file gave no picture and nothing was written.
// Raises ESaveImagesError "%s is not Exists." when the item's file is gone.
bool SavePhoto(const TCatalogItem& item, const std::string& destination, const TSaveOptions& options,
               const std::string& owner);

// The name proposed for saving one photo beside its file: the file's own name for a JPEG,
// otherwise with ".jpg"; "%s(%d)%s" with 1, 2, ... while the folder holds that name.
std::string ProposedSaveName(const TCatalogItem& item);

// The size the single-photo dialog starts from: trimmed when trimming is in force, otherwise
// the displayed size; sides follow the orientation. Reads the header when the size is unknown.
TSize DisplayedSaveSize(TCatalogItem& item);

// After a photo was saved over its own file, the edits that are now part of the pixels are
// taken off the item so that they are not applied twice: colour adjustment to its defaults,
// trimming off, orientation upright; catalog update kind 20 is raised.
void ResetEditsAfterOwnOverwrite(TCatalogItem& item);

}  // namespace plb
