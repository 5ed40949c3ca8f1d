#include "cli/InfoJson.h"

#include "cli/StreamFacts.h"
#include "codec/CompressorInfo.h"
#include "media/decode/CodecNames.h"
#include "media/decode/ScanType.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <cstdio>
#include <numeric>

namespace {

using Json = nlohmann::ordered_json;

Json TextOrNull(const std::string& text) {
    return text.empty() ? Json(nullptr) : Json(text);
}

// dwRate / dwScale in lowest terms: "30000/1001"; null when dwScale is 0.
Json RateFraction(const AVISTREAMINFOA& info) {
    if (info.dwScale == 0 || info.dwRate == 0) {
        return nullptr;
    }
    const std::uint32_t common = std::gcd(info.dwRate, info.dwScale);
    return std::to_string(info.dwRate / common) + "/" + std::to_string(info.dwScale / common);
}

Json SecondsOrNull(double count, double rate) {
    return rate > 0 ? Json(count / rate) : Json(nullptr);
}

Json VideoStream(CAviReader& reader, std::uint32_t index, int rotation) {
    AVISTREAMINFOA info{};
    if (!reader.GetVideoStreamInfo(index, &info, kStreamInfoSize)) {
        return nullptr;
    }
    return {{"type", "video"},
            {"codec", TextOrNull(reader.VideoCodecName(index))},
            {"fourcc", kmx::IsTextFourcc(info.fccHandler) ? Json(kmx::FourccText(info.fccHandler))
                                                          : Json(nullptr)},
            {"width", info.rcFrame.right - info.rcFrame.left},
            {"height", info.rcFrame.bottom - info.rcFrame.top},
            {"frame_rate", RateFraction(info)},
            {"frames", reader.GetVideoLength(index)},
            {"variable_frame_rate", reader.IsVariableFrameRate(index)},
            {"scan", kmx::ScanTypeText(reader.GetScanType(index))},
            {"rotation", index == 0 ? rotation : 0}};
}

Json AudioStream(CAviReader& reader, std::uint32_t index) {
    AVISTREAMINFOA info{};
    if (!reader.GetAudioStreamInfo(index, &info, kStreamInfoSize)) {
        return nullptr;
    }
    const Json seconds = SecondsOrNull(info.dwLength, StreamRate(info));
    WAVEFORMATEX wave{};
    const bool known = ReadWaveFormat(reader, index, wave);
    Json samples = nullptr;
    if (known && seconds.is_number()) {
        samples = std::llround(seconds.get<double>() * wave.nSamplesPerSec);
    }
    return {{"type", "audio"},
            {"codec", TextOrNull(reader.AudioCodecName(index))},
            {"rate", known ? Json(wave.nSamplesPerSec) : Json(nullptr)},
            {"channels", known ? Json(wave.nChannels) : Json(nullptr)},
            {"samples", samples},
            {"duration", seconds}};
}

Json FileObject(const std::string& path) {
    CAviReader reader;
    if (!reader.Open(path.c_str())) {
        return {{"path", path}, {"error", "cannot be opened as a video file"}};
    }
    Json file = {{"path", path}, {"container", reader.ContainerName()}};
    const std::string usable = UsableAsInput(reader);
    file["usable"] = usable == "yes";
    if (usable != "yes") {
        file["reason"] = usable.substr(usable.find(": ") + 2);
    }
    AVISTREAMINFOA info{};
    file["duration"] = reader.GetVideoStreamInfo(0, &info, kStreamInfoSize)
                           ? SecondsOrNull(reader.GetVideoLength(0), StreamRate(info))
                           : Json(nullptr);
    Json streams = Json::array();
    const int rotation = reader.GetVideoStreamCount() > 0 ? FirstVideoRotation(path) : 0;
    for (std::uint32_t i = 0; i < reader.GetVideoStreamCount(); ++i) {
        if (Json stream = VideoStream(reader, i, rotation); !stream.is_null()) {
            streams.push_back(std::move(stream));
        }
    }
    for (std::uint32_t i = 0; i < reader.GetAudioStreamCount(); ++i) {
        if (Json stream = AudioStream(reader, i); !stream.is_null()) {
            streams.push_back(std::move(stream));
        }
    }
    file["streams"] = std::move(streams);
    return file;
}

} // namespace

bool PrintFilesJson(const std::vector<std::string>& paths) {
    Json files = Json::array();
    bool ok = true;
    for (const std::string& path : paths) {
        files.push_back(FileObject(path));
        ok = ok && !files.back().contains("error");
    }
    // Control bytes come out as \u escapes; bytes that are not UTF-8 as U+FFFD.
    const std::string text = files.dump(2, ' ', false, Json::error_handler_t::replace);
    std::printf("%s\n", text.c_str());
    return ok;
}
