#include "media/lavf/LavfStreamInfo.h"

#include "media/decode/DibFrame.h"
#include "media/decode/PcmAudio.h"
#include "media/io/ByteOrder.h"

#include <cmath>
#include <cstring>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libavutil/rational.h>
}

namespace kmx {
namespace {

// Codec data beyond this is not kept.
constexpr int kMaxCodecData = 1 << 20;

std::uint32_t CodecFourcc(const AVCodecParameters& parameters) {
    if (parameters.codec_tag != 0) {
        return parameters.codec_tag;
    }
    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
    return av_codec_get_tag(tags, parameters.codec_id);
}

} // namespace

AVRational LavfNominalRate(const AVStream& stream) {
    AVRational rate = stream.avg_frame_rate;
    if (rate.num <= 0 || rate.den <= 0) {
        rate = stream.r_frame_rate;
    }
    if (rate.num <= 0 || rate.den <= 0) {
        return AVRational{25, 1};
    }
    int num = 0;
    int den = 0;
    av_reduce(&num, &den, rate.num, rate.den, INT32_MAX);
    return num > 0 && den > 0 ? AVRational{num, den} : AVRational{25, 1};
}

std::string LavfContainerName(const AVFormatContext& context) {
    const AVInputFormat* format = context.iformat;
    if (format == nullptr) {
        return "";
    }
    if (std::strncmp(format->name, "mov,", 4) == 0) {
        const AVDictionaryEntry* brand = av_dict_get(context.metadata, "major_brand", nullptr, 0);
        if (brand == nullptr || std::strncmp(brand->value, "qt", 2) != 0) {
            return "MP4";
        }
    }
    return format->long_name != nullptr ? format->long_name : format->name;
}

bool LavfSampleAspect(const AVStream& stream, int* num, int* den) {
    AVRational aspect = stream.sample_aspect_ratio;
    if (aspect.num <= 0 || aspect.den <= 0) {
        aspect = stream.codecpar->sample_aspect_ratio;
    }
    if (aspect.num <= 0 || aspect.den <= 0) {
        return false;
    }
    av_reduce(num, den, aspect.num, aspect.den, 1 << 16);
    return *num > 0 && *den > 0;
}

ScanType LavfScanType(const AVStream& stream) {
    switch (stream.codecpar->field_order) {
    case AV_FIELD_PROGRESSIVE:
        return ScanType::Progressive;
    // The second letter names the field shown first.
    case AV_FIELD_TT:
    case AV_FIELD_BT:
        return ScanType::TopFieldFirst;
    case AV_FIELD_BB:
    case AV_FIELD_TB:
        return ScanType::BottomFieldFirst;
    default:
        return ScanType::Unknown;
    }
}

int LavfRotation(const AVStream& stream) {
    std::size_t size = 0;
    const std::uint8_t* matrix = av_stream_get_side_data(&stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    if (matrix == nullptr || size < 9 * sizeof(std::int32_t)) {
        return 0;
    }
    std::int32_t values[9];
    std::memcpy(values, matrix, sizeof values);
    const double angle = av_display_rotation_get(values);
    if (!std::isfinite(angle)) {
        return 0;
    }
    // The matrix turns counterclockwise; pictures are turned back.
    long turn = std::lround(-angle / 90.0) % 4;
    if (turn < 0) {
        turn += 4;
    }
    return static_cast<int>(turn * 90);
}

std::vector<std::uint8_t> MakeLavfVideoFormat(const AVStream& stream) {
    const AVCodecParameters& parameters = *stream.codecpar;
    DibGeometry geometry;
    if (!MakeDibGeometry(parameters.width, parameters.height, 24, geometry)) {
        return {};
    }
    const int extra = parameters.extradata != nullptr && parameters.extradata_size > 0 &&
                              parameters.extradata_size <= kMaxCodecData
                          ? parameters.extradata_size
                          : 0;
    std::vector<std::uint8_t> format(kBitmapInfoHeaderSize + static_cast<std::size_t>(extra), 0);
    StoreU32(&format[0], static_cast<std::uint32_t>(kBitmapInfoHeaderSize));
    StoreU32(&format[4], static_cast<std::uint32_t>(geometry.width));
    StoreU32(&format[8], static_cast<std::uint32_t>(geometry.height));
    StoreU16(&format[12], 1);
    StoreU16(&format[14], 24);
    StoreU32(&format[16], CodecFourcc(parameters));
    StoreU32(&format[20], geometry.imageSize);
    if (extra > 0) {
        std::memcpy(&format[kBitmapInfoHeaderSize], parameters.extradata,
                    static_cast<std::size_t>(extra));
    }
    return format;
}

void MakeLavfVideoInfo(const AVStream& stream, AVRational rate, std::uint32_t frames,
                       std::uint32_t largest, std::int32_t width, std::int32_t height,
                       AVISTREAMINFOA& info) {
    info = AVISTREAMINFOA{};
    info.fccType = MakeFourcc('v', 'i', 'd', 's');
    info.fccHandler = CodecFourcc(*stream.codecpar);
    info.dwScale = static_cast<std::uint32_t>(rate.den);
    info.dwRate = static_cast<std::uint32_t>(rate.num);
    info.dwLength = frames;
    info.dwSuggestedBufferSize = largest;
    info.dwQuality = 0xFFFFFFFFu;
    info.rcFrame = RECT{0, 0, width, height};
}

void MakeLavfAudioInfo(const CPcmAudio& pcm, std::uint32_t length, AVISTREAMINFOA& info) {
    info = AVISTREAMINFOA{};
    const std::uint32_t block = static_cast<std::uint32_t>(pcm.BlockAlign());
    info.fccType = MakeFourcc('a', 'u', 'd', 's');
    info.fccHandler = 1;
    info.dwScale = 1;
    info.dwRate = static_cast<std::uint32_t>(pcm.Rate());
    info.dwLength = length;
    info.dwSuggestedBufferSize = static_cast<std::uint32_t>(pcm.Rate()) * block;
    info.dwQuality = 0xFFFFFFFFu;
    info.dwSampleSize = block;
}

} // namespace kmx
