#include "images/codec/movie_frame.h"

#include <sys/stat.h>

#include <memory>
#include <mutex>
#include <optional>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/macros.h>
#include <libswscale/swscale.h>
}

#include "host/format.h"
#include "images/scale/resize.h"
#include "platform/shared_library.h"

namespace plb {
namespace {

// The FFmpeg functions a movie frame needs. The libraries and every codec they bring weigh
// a hundred shared objects, so they are loaded at the first movie frame, not at every start.
// The sonames carry the major versions of the headers compiled against, which fix the layouts
// of the structures read here.
struct MovieLibraries {
  platform::SharedLibrary util{"libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR)};
  platform::SharedLibrary codec{"libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR)};
  platform::SharedLibrary format{"libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR)};
  platform::SharedLibrary scale{"libswscale.so." AV_STRINGIFY(LIBSWSCALE_VERSION_MAJOR)};

  decltype(&::av_log_set_level) av_log_set_level;
  decltype(&::av_frame_alloc) av_frame_alloc;
  decltype(&::av_frame_free) av_frame_free;
  decltype(&::av_packet_alloc) av_packet_alloc;
  decltype(&::av_packet_free) av_packet_free;
  decltype(&::av_packet_unref) av_packet_unref;
  decltype(&::avcodec_alloc_context3) avcodec_alloc_context3;
  decltype(&::avcodec_free_context) avcodec_free_context;
  decltype(&::avcodec_parameters_to_context) avcodec_parameters_to_context;
  decltype(&::avcodec_open2) avcodec_open2;
  decltype(&::avcodec_send_packet) avcodec_send_packet;
  decltype(&::avcodec_receive_frame) avcodec_receive_frame;
  decltype(&::avformat_open_input) avformat_open_input;
  decltype(&::avformat_close_input) avformat_close_input;
  decltype(&::avformat_find_stream_info) avformat_find_stream_info;
  decltype(&::av_find_best_stream) av_find_best_stream;
  decltype(&::av_read_frame) av_read_frame;
  decltype(&::av_seek_frame) av_seek_frame;
  decltype(&::sws_getContext) sws_getContext;
  decltype(&::sws_scale) sws_scale;
  decltype(&::sws_freeContext) sws_freeContext;

  MovieLibraries() {
    util.Bind(av_log_set_level, "av_log_set_level");
    util.Bind(av_frame_alloc, "av_frame_alloc");
    util.Bind(av_frame_free, "av_frame_free");
    codec.Bind(av_packet_alloc, "av_packet_alloc");
    codec.Bind(av_packet_free, "av_packet_free");
    codec.Bind(av_packet_unref, "av_packet_unref");
    codec.Bind(avcodec_alloc_context3, "avcodec_alloc_context3");
    codec.Bind(avcodec_free_context, "avcodec_free_context");
    codec.Bind(avcodec_parameters_to_context, "avcodec_parameters_to_context");
    codec.Bind(avcodec_open2, "avcodec_open2");
    codec.Bind(avcodec_send_packet, "avcodec_send_packet");
    codec.Bind(avcodec_receive_frame, "avcodec_receive_frame");
    format.Bind(avformat_open_input, "avformat_open_input");
    format.Bind(avformat_close_input, "avformat_close_input");
    format.Bind(avformat_find_stream_info, "avformat_find_stream_info");
    format.Bind(av_find_best_stream, "av_find_best_stream");
    format.Bind(av_read_frame, "av_read_frame");
    format.Bind(av_seek_frame, "av_seek_frame");
    scale.Bind(sws_getContext, "sws_getContext");
    scale.Bind(sws_scale, "sws_scale");
    scale.Bind(sws_freeContext, "sws_freeContext");
    av_log_set_level(AV_LOG_QUIET);
  }
};

// The libraries, loaded once; a failed load is kept and raised again at every later frame
// rather than retried for each file of a folder.
const MovieLibraries& Av() {
  static std::once_flag once;
  static std::optional<MovieLibraries> libraries;
  static std::string failure;
  std::call_once(once, [] {
    try {
      libraries.emplace();
    } catch (const std::exception& e) {
      failure = "Movie decoding is not available (install the FFmpeg libraries): " + MessageOf(e);
    }
  });
  if (!libraries) throw EAnotherImageError(failure);
  return *libraries;
}

struct FormatCloser {
  void operator()(AVFormatContext* c) const { Av().avformat_close_input(&c); }
};
struct CodecFreer {
  void operator()(AVCodecContext* c) const { Av().avcodec_free_context(&c); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { Av().av_frame_free(&f); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { Av().av_packet_free(&p); }
};
struct ScaleFreer {
  void operator()(SwsContext* s) const { Av().sws_freeContext(s); }
};

// Decodes frames until one comes out; null at the end of the file or on an error.
std::unique_ptr<AVFrame, FrameFreer> FirstFrame(const MovieLibraries& av, AVFormatContext* format, AVCodecContext* codec,
                                                int stream) {
  std::unique_ptr<AVFrame, FrameFreer> frame(av.av_frame_alloc());
  std::unique_ptr<AVPacket, PacketFreer> packet(av.av_packet_alloc());
  if (!frame || !packet) return nullptr;
  // A damaged file can feed packets that never give a frame; stop after a bounded number.
  for (int packets = 0; packets < 2000; ++packets) {
    const int read = av.av_read_frame(format, packet.get());
    if (read < 0) {
      av.avcodec_send_packet(codec, nullptr);  // drain what the decoder holds
    } else if (packet->stream_index != stream) {
      av.av_packet_unref(packet.get());
      continue;
    } else {
      const int sent = av.avcodec_send_packet(codec, packet.get());
      av.av_packet_unref(packet.get());
      if (sent < 0 && sent != AVERROR(EAGAIN)) return nullptr;
    }
    const int received = av.avcodec_receive_frame(codec, frame.get());
    if (received == 0) return frame;
    if (received != AVERROR(EAGAIN) || read < 0) return nullptr;
  }
  return nullptr;
}

bool DecodeMovieFrame(const std::string& fileName, Bitmap& bitmap) {
  const MovieLibraries& av = Av();
  AVFormatContext* opened = nullptr;
  if (av.avformat_open_input(&opened, fileName.c_str(), nullptr, nullptr) < 0) return false;
  std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
  if (av.avformat_find_stream_info(format.get(), nullptr) < 0) return false;
  const AVCodec* decoder = nullptr;
  const int stream = av.av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
  if (stream < 0 || decoder == nullptr) return false;
  std::unique_ptr<AVCodecContext, CodecFreer> codec(av.avcodec_alloc_context3(decoder));
  if (!codec || av.avcodec_parameters_to_context(codec.get(), format->streams[stream]->codecpar) < 0) return false;
  if (av.avcodec_open2(codec.get(), decoder, nullptr) < 0) return false;

  // A tenth into the movie skips black openings and titles; a movie that cannot seek starts at
  // its first frame.
  if (format->duration > 0 && av.av_seek_frame(format.get(), -1, format->duration / 10, AVSEEK_FLAG_BACKWARD) < 0)
    av.av_seek_frame(format.get(), -1, 0, AVSEEK_FLAG_BACKWARD);
  auto frame = FirstFrame(av, format.get(), codec.get(), stream);
  if (!frame || frame->width < 1 || frame->height < 1) return false;

  TSize size{frame->width, frame->height};
  if (size.cx > kMovieFrameMaxSide || size.cy > kMovieFrameMaxSide)
    size = FitInside(kMovieFrameMaxSide, kMovieFrameMaxSide, frame->width, frame->height);
  std::unique_ptr<SwsContext, ScaleFreer> scale(
      av.sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), size.cx, size.cy,
                     AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!scale) return false;
  Bitmap out(size.cx, size.cy);
  uint8_t* planes[4] = {out.Row(0), nullptr, nullptr, nullptr};
  int strides[4] = {static_cast<int>(out.Stride()), 0, 0, 0};
  if (av.sws_scale(scale.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) != size.cy) return false;
  bitmap.Swap(out);
  return true;
}

}  // namespace

bool GetAnotherImageBMP(const std::string& fileName, Bitmap* bitmap) {
  try {
    if (bitmap == nullptr) throw EAnotherImageError("BMP is nil.");
    struct stat st {};
    if (::stat(fileName.c_str(), &st) != 0) throw EAnotherImageError("SourceFile is not exists.");
    bitmap->Clear();
    return DecodeMovieFrame(fileName, *bitmap);
  } catch (const std::exception& e) {
    throw EAnotherImageError(Format("%s Raised in %s. ( %s )", ClassNameOf(e), "GetAnotherImageBMP", MessageOf(e)));
  }
}

}  // namespace plb
