// Thumbnail speed that needs no peer tool, measured inside one process:
//   thumbs_bench warm [COUNT]    reading COUNT cached thumbnails after a restart (index loaded
//                                afresh, segment files reopened): thumbnails per second, and the
//                                time of the first screen of 60
//   thumbs_bench stages FILE...  per photo, the first stage (its EXIF thumbnail into a 160 box)
//                                beside the full pass (the DCT-scaled decode into the same box),
//                                on copies of the photos given an EXIF thumbnail as cameras write
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/model/catalog_item.h"
#include "images/thumbnails/thumbnail_maker.h"
#include "images/thumbnails/catalog_thumbnail_store.h"
#include "images/exif/exif_scanner.h"
#include "images/codec/image_load.h"
#include "images/codec/jpeg_codec.h"
#include "images/scale/resize.h"

namespace {

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

std::string TempFolder(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "." + std::to_string(::getpid());
  std::filesystem::create_directories(folder);
  return folder;
}

int Warm(int count) {
  const std::string folder = TempFolder("thumbs_bench_warm");
  std::vector<std::unique_ptr<plb::TCatalogItem>> owned;
  std::vector<plb::TCatalogItem*> items;
  for (int i = 0; i < count; ++i) {
    owned.push_back(std::make_unique<plb::TCatalogItem>());
    items.push_back(owned.back().get());
  }
  {
    plb::TCatalogImageCacheMaster cache;
    cache.InitializeCatalog(plb::ickFile, folder, true, int64_t{1000} * 1048576);
    plb::Bitmap b(160, 120);
    for (int i = 0; i < count; ++i) {
      for (int32_t y = 0; y < 120; ++y)
        for (int32_t x = 0; x < 160; ++x) {
          uint8_t* p = b.Pixel(x, y);
          // Smooth gradients with one edge, as photographs mostly are.
          p[0] = static_cast<uint8_t>(x + i);
          p[1] = static_cast<uint8_t>(y * 2 + i);
          p[2] = static_cast<uint8_t>(x < 80 ? 40 + i : 200 - y);
        }
      cache.AddCatalogImage(items[i], &b, 160);
    }
    cache.SaveCacheData(items);
  }
  for (auto* item : items) item->SetCacheIndex(0);
  const auto start = Clock::now();
  plb::TCatalogImageCacheMaster cache;
  cache.InitializeCatalog(plb::ickFile, folder, true, int64_t{1000} * 1048576);
  cache.LoadCacheData(items);
  plb::Bitmap read;
  int ok = 0;
  double firstScreen = 0;
  for (int i = 0; i < count; ++i) {
    if (cache.ReadCatalogImage(items[i], &read, nullptr)) ++ok;
    if (i == 59) firstScreen = Seconds(start, Clock::now());
  }
  const double all = Seconds(start, Clock::now());
  // The same reads from two threads at once: readers share the cache's locks.
  const auto parallelStart = Clock::now();
  std::atomic<int> parallelOk{0};
  std::vector<std::thread> readers;
  for (int t = 0; t < 2; ++t) {
    readers.emplace_back([&, t] {
      plb::Bitmap bitmap;
      for (int i = t; i < count; i += 2) {
        if (cache.ReadCatalogImage(items[i], &bitmap, nullptr)) ++parallelOk;
      }
    });
  }
  for (auto& r : readers) r.join();
  const double parallel = Seconds(parallelStart, Clock::now());
  std::filesystem::remove_all(folder);
  std::printf(
      "warm: %d of %d thumbnails read after a restart in %.3f s: %.0f per second on one thread, %.0f per second "
      "on two (goal 20000); first screen of 60 in %.1f ms (goal 50)\n",
      ok, count, all, count / all, parallelOk / parallel, firstScreen * 1000);
  return ok == count && parallelOk == count ? 0 : 1;
}

std::vector<uint8_t> ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The photo with an APP1 EXIF block carrying a 160 x 120-box JPEG thumbnail, as cameras write.
std::string WithExifThumbnail(const std::vector<uint8_t>& jpeg) {
  plb::Bitmap small, thumb;
  plb::DecodeJpeg(jpeg, small, plb::dsEighth);
  const plb::TSize fit = plb::FitInside(160, 120, small.Width(), small.Height());
  thumb.SetSize(fit.cx, fit.cy);
  plb::ResizeBitmap(small, thumb, plb::rmTriangle);
  const std::string t = plb::EncodeJpeg(thumb, 85);
  // Little-endian TIFF: IFD0 with no entries but a link to IFD1, which points at the thumbnail.
  std::string tiff = std::string("II*\0", 4) + std::string("\x08\0\0\0", 4);
  auto u16 = [&tiff](uint32_t v) { tiff.append({char(v), char(v >> 8)}); };
  auto u32 = [&tiff](uint32_t v) { tiff.append({char(v), char(v >> 8), char(v >> 16), char(v >> 24)}); };
  u16(0);       // IFD0: no entries
  u32(14);      // next: IFD1 at 14
  u16(3);       // IFD1: three entries
  u16(0x0103);  // compression: JPEG
  u16(3);
  u32(1);
  u32(6);
  u16(0x0201);
  u16(4);
  u32(1);
  u32(14 + 2 + 3 * 12 + 4);
  u16(0x0202);
  u16(4);
  u32(1);
  u32(static_cast<uint32_t>(t.size()));
  u32(0);
  tiff += t;
  const std::string payload = std::string("Exif\0\0", 6) + tiff;
  const size_t length = payload.size() + 2;
  const std::string app1 = std::string("\xFF\xE1", 2) + char(length >> 8) + char(length & 0xFF) + payload;
  return std::string(jpeg.begin(), jpeg.begin() + 2) + app1 + std::string(jpeg.begin() + 2, jpeg.end());
}

int Stages(const std::vector<std::string>& files) {
  const std::string folder = TempFolder("thumbs_bench_stages");
  std::vector<std::string> photos;
  for (size_t i = 0; i < files.size(); ++i) {
    const std::string path = folder + "/camera" + std::to_string(i) + ".jpg";
    const std::string bytes = WithExifThumbnail(ReadAll(files[i]));
    std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    photos.push_back(path);
  }
  const plb::TSize box{160, 160};
  // Page cache warm for both passes.
  for (const auto& p : photos) ReadAll(p);
  auto start = Clock::now();
  int firstMade = 0;
  for (const auto& p : photos) {
    uint32_t flags = plb::kJpegInfoExif | plb::kJpegInfoThumbnail;
    plb::TJpegInfoExRec info;
    plb::ReadJpegInfoFromFile(p, flags, info);
    if (!info.thumb_stream) continue;
    plb::Bitmap out;
    int32_t sizeClass = 160;
    plb::DecodeJpegIntoBox(info.thumb_stream->Bytes(), info.thumb_width, info.thumb_height, box, info.thumb_orientation,
                           out, sizeClass);
    if (!out.Empty()) ++firstMade;
  }
  const double first = Seconds(start, Clock::now());
  start = Clock::now();
  int fullMade = 0;
  for (const auto& p : photos) {
    plb::Bitmap out;
    plb::TImageInfoRec info;
    plb::LoadImageToSize(out, p, 1, info, true, box.cy, box.cx);
    if (!out.Empty()) ++fullMade;
  }
  const double full = Seconds(start, Clock::now());
  std::filesystem::remove_all(folder);
  std::printf(
      "stages: %zu photos; first stage %d in %.3f s, full pass %d in %.3f s: first stage %.1fx faster "
      "(goal 20x)\n",
      photos.size(), firstMade, first, fullMade, full, full / first);
  return firstMade == static_cast<int>(photos.size()) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "warm") return Warm(argc > 2 ? std::atoi(argv[2]) : 10000);
  if (mode == "stages" && argc > 2) return Stages(std::vector<std::string>(argv + 2, argv + argc));
  std::fprintf(stderr, "usage: thumbs_bench warm [COUNT] | thumbs_bench stages FILE...\n");
  return 2;
}
