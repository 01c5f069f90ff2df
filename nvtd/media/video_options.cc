// The option texts of the video configurations (see video_options.h).
#include "nvtd/media/video_options.h"

#include "nvtd/soap/named_format.h"

namespace nvtd {
namespace {

// clang-format off
// {p}, the service's prefix; {x_max} and {y_max}, the last column and row, then {width} and
// {height}.
constexpr char kVideoSourceOptions[] =
    "<{p}:GetVideoSourceConfigurationOptionsResponse><{p}:Options><tt:BoundsRange>"
    "<tt:XRange><tt:Min>0</tt:Min><tt:Max>{x_max}</tt:Max></tt:XRange>"
    "<tt:YRange><tt:Min>0</tt:Min><tt:Max>{y_max}</tt:Max></tt:YRange>"
    "<tt:WidthRange><tt:Min>{width}</tt:Min><tt:Max>{width}</tt:Max></tt:WidthRange>"
    "<tt:HeightRange><tt:Min>{height}</tt:Min><tt:Max>{height}</tt:Max></tt:HeightRange>"
    "</tt:BoundsRange>"
    "<tt:VideoSourceTokensAvailable>HD</tt:VideoSourceTokensAvailable></{p}:Options>"
    "</{p}:GetVideoSourceConfigurationOptionsResponse>";

// {width} and {height}, the one resolution of either encoding.
constexpr char kVideoEncoderOptions[] =
    "<trt:GetVideoEncoderConfigurationOptionsResponse><trt:Options>"
    "<tt:QualityRange><tt:Min>80</tt:Min><tt:Max>80</tt:Max></tt:QualityRange>"
    "<tt:JPEG><tt:ResolutionsAvailable><tt:Width>{width}</tt:Width><tt:Height>{height}</tt:Height>"
    "</tt:ResolutionsAvailable>"
    "<tt:FrameRateRange><tt:Min>5</tt:Min><tt:Max>30</tt:Max></tt:FrameRateRange>"
    "<tt:EncodingIntervalRange><tt:Min>0</tt:Min><tt:Max>1</tt:Max></tt:EncodingIntervalRange>"
    "</tt:JPEG>"
    "<tt:H264><tt:ResolutionsAvailable><tt:Width>{width}</tt:Width><tt:Height>{height}</tt:Height>"
    "</tt:ResolutionsAvailable>"
    "<tt:GovLengthRange><tt:Min>5</tt:Min><tt:Max>30</tt:Max></tt:GovLengthRange>"
    "<tt:FrameRateRange><tt:Min>5</tt:Min><tt:Max>30</tt:Max></tt:FrameRateRange>"
    "<tt:EncodingIntervalRange><tt:Min>1</tt:Min><tt:Max>1</tt:Max></tt:EncodingIntervalRange>"
    "<tt:H264ProfilesSupported>Baseline</tt:H264ProfilesSupported></tt:H264>"
    "</trt:Options></trt:GetVideoEncoderConfigurationOptionsResponse>";
// clang-format on

}  // namespace

std::string video_source_options_response(int width, int height, const char* prefix) {
  return named_text(kVideoSourceOptions, {{"p", prefix},
                                          {"x_max", width - 1},
                                          {"y_max", height - 1},
                                          {"width", width},
                                          {"height", height}});
}

std::string video_encoder_options_response(int width, int height) {
  return named_text(kVideoEncoderOptions, {{"width", width}, {"height", height}});
}

}  // namespace nvtd
