#pragma once
// A short Motion-JPEG clip in an AVI container, written with FFmpeg: the movie the tests give the
// program, each frame the same JPEG.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace plb::test {

// jpeg: the bytes of a JPEG of width × height; frames at 10 a second.
inline void WriteMjpegClip(const std::string& path, const std::string& jpeg, int width, int height, int frames) {
  ASSERT_FALSE(jpeg.empty());
  AVFormatContext* out = nullptr;
  ASSERT_GE(avformat_alloc_output_context2(&out, nullptr, "avi", path.c_str()), 0);
  AVStream* stream = avformat_new_stream(out, nullptr);
  stream->codecpar->codec_type = AVMEDIA_TYPE_VIDEO;
  stream->codecpar->codec_id = AV_CODEC_ID_MJPEG;
  stream->codecpar->width = width;
  stream->codecpar->height = height;
  stream->time_base = {1, 10};
  ASSERT_GE(avio_open(&out->pb, path.c_str(), AVIO_FLAG_WRITE), 0);
  ASSERT_GE(avformat_write_header(out, nullptr), 0);
  for (int i = 0; i < frames; ++i) {
    AVPacket* packet = av_packet_alloc();
    ASSERT_GE(av_new_packet(packet, static_cast<int>(jpeg.size())), 0);
    std::copy(jpeg.begin(), jpeg.end(), packet->data);
    packet->pts = packet->dts = i;
    packet->flags |= AV_PKT_FLAG_KEY;
    packet->stream_index = stream->index;
    av_packet_rescale_ts(packet, {1, 10}, stream->time_base);
    ASSERT_GE(av_interleaved_write_frame(out, packet), 0);
    av_packet_free(&packet);
  }
  av_write_trailer(out);
  avio_closep(&out->pb);
  avformat_free_context(out);
}

}  // namespace plb::test
