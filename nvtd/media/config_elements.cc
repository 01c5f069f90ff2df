// Configuration element texts, shared by the profile listings and the configuration handlers.
#include "nvtd/media/config_elements.h"

#include <string_view>

#include "nvtd/media/stream_settings.h"
#include "nvtd/soap/format_text.h"
#include "nvtd/soap/named_format.h"

namespace nvtd {
namespace {

// The element name of a tag that may carry attributes.
std::string tag_name(const char* tag) {
  std::string_view t = tag;
  return std::string(t.substr(0, t.find(' ')));
}

constexpr char kMulticastUnset[] =
    "<tt:Multicast><tt:Address><tt:Type>IPv4</tt:Type><tt:IPv4Address>0.0.0.0</tt:IPv4Address>"
    "</tt:Address><tt:Port>0</tt:Port><tt:TTL>5</tt:TTL><tt:AutoStart>false</tt:AutoStart>"
    "</tt:Multicast>";

}  // namespace

std::string video_source_configuration(const char* tag, int use_count, int width, int height,
                                       BoundsOrder order) {
  std::string bounds =
      order == BoundsOrder::kWidthFirst
          ? format_text("<tt:Bounds width=\"%d\" height=\"%d\" y=\"0\" x=\"0\"></tt:Bounds>", width,
                        height)
          : format_text("<tt:Bounds height=\"%d\" width=\"%d\" y=\"0\" x=\"0\"></tt:Bounds>",
                        height, width);
  return format_text(
             "<%s token=\"T-VSConf-00\"><tt:Name>VideoSourceConfiguration-01</tt:Name>"
             "<tt:UseCount>%d</tt:UseCount><tt:SourceToken>HD</tt:SourceToken>",
             tag, use_count) +
         bounds + format_text("</%s>", tag_name(tag).c_str());
}

VideoEncoderView video_encoder_view(const std::string& token, int stream, int use_count) {
  prefetch_stream_settings({stream});
  VideoEncoderView view;
  view.token = token;
  view.stream = stream;
  view.use_count = use_count;
  view.encoding = stream_encoding(stream);
  view.width = stream_width(stream);
  view.height = stream_height(stream);
  view.frame_rate = stream_frame_rate(stream);
  view.bitrate_kbps = stream_bitrate_kbps(stream);
  view.gov_length = stream_gov_length(stream);
  return view;
}

std::string video_encoder_configuration(const char* tag, const VideoEncoderView& v) {
  return named_text(
      "<{tag} token=\"{token}\"><tt:Name>VideoEncoderConfiguration-stream{stream}</tt:Name>"
      "<tt:UseCount>{use_count}</tt:UseCount><tt:Encoding>{encoding}</tt:Encoding><tt:Resolution>"
      "<tt:Width>{width}</tt:Width><tt:Height>{height}</tt:Height></tt:Resolution>"
      "<tt:Quality>80</tt:Quality><tt:RateControl><tt:FrameRateLimit>{frame_rate}"
      "</tt:FrameRateLimit><tt:EncodingInterval>1</tt:EncodingInterval>"
      "<tt:BitrateLimit>{bitrate_kbps}</tt:BitrateLimit></tt:RateControl><tt:H264>"
      "<tt:GovLength>{gov_length}</tt:GovLength><tt:H264Profile>{h264_profile}</tt:H264Profile>"
      "</tt:H264>{multicast}<tt:SessionTimeout>{session_timeout}</tt:SessionTimeout></{tag_name}>",
      {{"tag", tag},
       {"token", v.token},
       {"stream", v.stream},
       {"use_count", v.use_count},
       {"encoding", v.encoding},
       {"width", v.width},
       {"height", v.height},
       {"frame_rate", v.frame_rate},
       {"bitrate_kbps", v.bitrate_kbps},
       {"gov_length", v.gov_length},
       {"h264_profile", v.h264_profile},
       {"multicast", kMulticastUnset},
       {"session_timeout", v.session_timeout},
       {"tag_name", tag_name(tag)}});
}

std::string video_encoder2_configuration(const char* tag, const VideoEncoderView& v) {
  return format_text(
      "<%s token=\"%s\" GovLength=\"%d\" Profile=\"%s\"><tt:Name>VideoEncoderConfiguration-stream%d"
      "</tt:Name><tt:UseCount>%d</tt:UseCount><tt:Encoding>%s</tt:Encoding><tt:Resolution>"
      "<tt:Width>%d</tt:Width><tt:Height>%d</tt:Height></tt:Resolution><tt:RateControl>"
      "<tt:FrameRateLimit>%d</tt:FrameRateLimit><tt:BitrateLimit>%d</tt:BitrateLimit>"
      "</tt:RateControl>%s<tt:Quality>80</tt:Quality></%s>",
      tag, v.token.c_str(), v.gov_length, v.h264_profile, v.stream, v.use_count, v.encoding,
      v.width, v.height, v.frame_rate, v.bitrate_kbps, kMulticastUnset, tag_name(tag).c_str());
}

std::string audio_source_configuration(const char* tag, int use_count) {
  return format_text(
      "<%s token=\"T-ASConf-00\"><tt:Name>AudioSourceConfiguration-00</tt:Name>"
      "<tt:UseCount>%d</tt:UseCount><tt:SourceToken>T-AudioSource-00</tt:SourceToken></%s>",
      tag, use_count, tag_name(tag).c_str());
}

std::string audio_encoder_configuration(const char* tag, int use_count) {
  return named_text(
      "<{tag} token=\"T-AEConf-00\"><tt:Name>AudioEncoderConfiguration-00</tt:Name>"
      "<tt:UseCount>{use_count}</tt:UseCount><tt:Encoding>{encoding}</tt:Encoding>"
      "<tt:Bitrate>{bitrate}</tt:Bitrate><tt:SampleRate>{sample_rate}</tt:SampleRate>{multicast}"
      "<tt:SessionTimeout>PT0S</tt:SessionTimeout></{tag_name}>",
      {{"tag", tag},
       {"use_count", use_count},
       {"encoding", audio_encoding()},
       {"bitrate", audio_bitrate()},
       {"sample_rate", audio_sample_rate()},
       {"multicast", kMulticastUnset},
       {"tag_name", tag_name(tag)}});
}

const char* audio_mime_name() {
  return *audio_encoding() == 'G' ? "PCMU" : "mpeg4-generic";  // "G711" or "AAC"
}

std::string audio_encoder2_configuration(const char* tag, int use_count) {
  return format_text(
      "<%s token=\"T-AEConf-00\"><tt:Name>AudioEncoderConfiguration-00</tt:Name>"
      "<tt:UseCount>%d</tt:UseCount><tt:Encoding>%s</tt:Encoding>%s<tt:Bitrate>%d</tt:Bitrate>"
      "<tt:SampleRate>%d</tt:SampleRate></%s>",
      tag, use_count, audio_mime_name(), kMulticastUnset, audio_bitrate(), audio_sample_rate(),
      tag_name(tag).c_str());
}

std::string metadata_configuration(const char* tag, int use_count) {
  return format_text(
      "<%s token=\"T-MetadataConf-00\"><tt:Name>MetadataConfiguration-00</tt:Name>"
      "<tt:UseCount>%d</tt:UseCount><tt:PTZStatus><tt:Status>false</tt:Status>"
      "<tt:Position>false</tt:Position></tt:PTZStatus><tt:Events></tt:Events>"
      "<tt:Analytics>false</tt:Analytics><tt:Multicast><tt:Address><tt:Type>IPv4</tt:Type>"
      "<tt:IPv4Address>230.109.239.186</tt:IPv4Address></tt:Address><tt:Port>1240</tt:Port>"
      "<tt:TTL>1</tt:TTL><tt:AutoStart>false</tt:AutoStart></tt:Multicast>"
      "<tt:SessionTimeout>PT0S</tt:SessionTimeout></%s>",
      tag, use_count, tag_name(tag).c_str());
}

}  // namespace nvtd
