#include "images/codec/movie_frame.h"

#include <sys/stat.h>

#include <memory>
#include <mutex>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libswscale/swscale.h>
}

#include "host/format.h"
#include "images/scale/resize.h"

namespace plb {
namespace {

struct FormatCloser {
  void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct ScaleFreer {
  void operator()(SwsContext* s) const { sws_freeContext(s); }
};

// Decodes frames until one comes out; null at the end of the file or on an error.
std::unique_ptr<AVFrame, FrameFreer> FirstFrame(AVFormatContext* format, AVCodecContext* codec, int stream) {
  std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
  std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
  if (!frame || !packet) return nullptr;
  // A damaged file can feed packets that never give a frame; stop after a bounded number.
  for (int packets = 0; packets < 2000; ++packets) {
    const int read = av_read_frame(format, packet.get());
    if (read < 0) {
      avcodec_send_packet(codec, nullptr);  // drain what the decoder holds
    } else if (packet->stream_index != stream) {
      av_packet_unref(packet.get());
      continue;
    } else {
      const int sent = avcodec_send_packet(codec, packet.get());
      av_packet_unref(packet.get());
      if (sent < 0 && sent != AVERROR(EAGAIN)) return nullptr;
    }
    const int received = avcodec_receive_frame(codec, frame.get());
    if (received == 0) return frame;
    if (received != AVERROR(EAGAIN) || read < 0) return nullptr;
  }
  return nullptr;
}

bool DecodeMovieFrame(const std::string& fileName, Bitmap& bitmap) {
  static std::once_flag quiet;
  std::call_once(quiet, [] { av_log_set_level(AV_LOG_QUIET); });

  AVFormatContext* opened = nullptr;
  if (avformat_open_input(&opened, fileName.c_str(), nullptr, nullptr) < 0) return false;
  std::unique_ptr<AVFormatContext, FormatCloser> format(opened);
  if (avformat_find_stream_info(format.get(), nullptr) < 0) return false;
  const AVCodec* decoder = nullptr;
  const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_VIDEO, -1, -1, &decoder, 0);
  if (stream < 0 || decoder == nullptr) return false;
  std::unique_ptr<AVCodecContext, CodecFreer> codec(avcodec_alloc_context3(decoder));
  if (!codec || avcodec_parameters_to_context(codec.get(), format->streams[stream]->codecpar) < 0) return false;
  if (avcodec_open2(codec.get(), decoder, nullptr) < 0) return false;

  // A tenth into the movie skips black openings and titles; a movie that cannot seek starts at
  // its first frame.
  if (format->duration > 0 && av_seek_frame(format.get(), -1, format->duration / 10, AVSEEK_FLAG_BACKWARD) < 0)
    av_seek_frame(format.get(), -1, 0, AVSEEK_FLAG_BACKWARD);
  auto frame = FirstFrame(format.get(), codec.get(), stream);
  if (!frame || frame->width < 1 || frame->height < 1) return false;

  TSize size{frame->width, frame->height};
  if (size.cx > kMovieFrameMaxSide || size.cy > kMovieFrameMaxSide)
    size = FitInside(kMovieFrameMaxSide, kMovieFrameMaxSide, frame->width, frame->height);
  std::unique_ptr<SwsContext, ScaleFreer> scale(
      sws_getContext(frame->width, frame->height, static_cast<AVPixelFormat>(frame->format), size.cx, size.cy,
                     AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!scale) return false;
  Bitmap out(size.cx, size.cy);
  uint8_t* planes[4] = {out.Row(0), nullptr, nullptr, nullptr};
  int strides[4] = {static_cast<int>(out.Stride()), 0, 0, 0};
  if (sws_scale(scale.get(), frame->data, frame->linesize, 0, frame->height, planes, strides) != size.cy) return false;
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
