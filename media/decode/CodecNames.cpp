#include "media/decode/CodecNames.h"

#include "media/AviRecords.h"
#include "media/io/ByteOrder.h"

extern "C" {
#include <libavcodec/codec_desc.h>
#include <libavformat/avformat.h>
}

namespace kmx {

std::string CodecName(int codecId) {
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(static_cast<AVCodecID>(codecId));
    return codecId != AV_CODEC_ID_NONE && descriptor != nullptr ? descriptor->name : "";
}

bool IsTextFourcc(std::uint32_t code) {
    for (int i = 0; i < 4; ++i) {
        const unsigned c = (code >> (8 * i)) & 0xFFu;
        const bool text =
            (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == ' ';
        if (!text) {
            return false;
        }
    }
    return true;
}

std::string VideoFormatCodecName(const std::uint8_t* format, std::int32_t size,
                                 std::uint32_t handler) {
    if (format == nullptr || size < static_cast<std::int32_t>(kBitmapInfoHeaderSize)) {
        return "";
    }
    const std::uint32_t compression = LoadU32(format + 16);
    if (compression == BI_RGB) {
        return CodecName(AV_CODEC_ID_RAWVIDEO);
    }
    const AVCodecTag* const tags[] = {avformat_get_riff_video_tags(), nullptr};
    AVCodecID id = av_codec_get_id(tags, compression);
    if (id == AV_CODEC_ID_NONE && handler != 0) {
        id = av_codec_get_id(tags, handler);
    }
    return CodecName(id);
}

std::string WaveFormatCodecName(const std::uint8_t* format, std::int32_t size) {
    // The tag and the sample width, which stand at 0 and 14.
    if (format == nullptr || size < 16) {
        return "";
    }
    return CodecName(AudioCodecOfTag(LoadU16(format), LoadU16(format + 14)));
}

int AudioCodecOfTag(std::uint16_t tag, std::uint16_t bits) {
    const AVCodecTag* const tags[] = {avformat_get_riff_audio_tags(), nullptr};
    const AVCodecID id = av_codec_get_id(tags, tag);
    if (id == AV_CODEC_ID_PCM_S16LE) {
        switch (bits) {
        case 8:
            return AV_CODEC_ID_PCM_U8;
        case 24:
            return AV_CODEC_ID_PCM_S24LE;
        case 32:
            return AV_CODEC_ID_PCM_S32LE;
        default:
            return id;
        }
    }
    if (id == AV_CODEC_ID_PCM_F32LE && bits == 64) {
        return AV_CODEC_ID_PCM_F64LE;
    }
    return id;
}

} // namespace kmx
