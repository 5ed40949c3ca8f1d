#include "cli/StreamFacts.h"

#include "engine/FrameChecks.h"
#include "engine/InputCheck.h"
#include "media/lavf/LavfStreamInfo.h"

extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>

double StreamRate(const AVISTREAMINFOA& info) {
    return info.dwScale != 0 ? static_cast<double>(info.dwRate) / static_cast<double>(info.dwScale)
                             : 0.0;
}

std::string UsableAsInput(CAviReader& reader) {
    BITMAPINFOHEADER last{};
    const std::string refusal = InputRefusal(reader, &last);
    if (!refusal.empty()) {
        return "no: " + refusal;
    }
    if (!FillsImageExactly(last)) {
        return "no for conversion: the rows are padded (width " + std::to_string(last.biWidth) +
               ")";
    }
    return "yes";
}

bool ReadWaveFormat(CAviReader& reader, std::uint32_t index, WAVEFORMATEX& wave) {
    std::int32_t size = 0;
    const std::uint8_t* format = reader.GetAudioFormat(index, &size);
    if (format == nullptr || size < static_cast<std::int32_t>(kmx::kWaveFormatExSize - 2)) {
        return false;
    }
    std::uint8_t padded[kmx::kWaveFormatExSize] = {};
    std::copy(format, format + std::min<std::int32_t>(size, sizeof padded), padded);
    kmx::LoadRecord(padded, wave);
    return true;
}

int FirstVideoRotation(const std::string& path) {
    AVFormatContext* context = nullptr;
    if (avformat_open_input(&context, path.c_str(), nullptr, nullptr) < 0) {
        return 0;
    }
    int rotation = 0;
    for (unsigned i = 0; i < context->nb_streams; ++i) {
        const AVStream& stream = *context->streams[i];
        if (stream.codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
            (stream.disposition & AV_DISPOSITION_ATTACHED_PIC) == 0) {
            rotation = kmx::LavfRotation(stream);
            break;
        }
    }
    avformat_close_input(&context);
    return rotation;
}
