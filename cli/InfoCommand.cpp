#include "cli/InfoCommand.h"
#include "cli/InfoJson.h"
#include "cli/StreamFacts.h"
#include "cli/TerminalText.h"

#include "codec/CompressorInfo.h"
#include "engine/TextFormatting.h"
#include "media/AviReader.h"
#include "media/decode/CodecNames.h"

#include <cstdio>

namespace {

// A video stream's FourCC, or libavcodec's name of its codec where the
// container gives no FourCC of letters, digits and spaces (an MPEG-TS stream
// type, say, or none at all).
std::string FourccOrCodec(std::uint32_t fourcc, const std::string& codec) {
    return kmx::IsTextFourcc(fourcc) || codec.empty() ? kmx::FourccText(fourcc) : codec;
}

// After a stream's rate: whether it is the highest rate of a variable one.
const char* VariableRateNote(const CAviReader& reader, std::uint32_t index) {
    return reader.IsVariableFrameRate(index) ? " (variable frame rate)" : "";
}

// The first video stream: size, depth, compressor, frames and duration.
void PrintVideoSummary(CAviReader& reader) {
    AVISTREAMINFOA info{};
    if (reader.GetVideoStreamInfo(0, &info, kStreamInfoSize)) {
        std::string depth = "?";
        if (reader.StartVideoRetrieve(0)) {
            const BITMAPINFOHEADER* frame = nullptr;
            reader.GetVideoFrame(0, 0, &frame);
            if (frame != nullptr) {
                depth = std::to_string(frame->biBitCount);
            }
        }
        const std::int32_t frames = reader.GetVideoLength(0);
        const double rate = StreamRate(info);
        PrintLine(stdout, "Format: %i x %i x %s (%s)", info.rcFrame.right - info.rcFrame.left,
                  info.rcFrame.bottom - info.rcFrame.top, depth.c_str(),
                  FourccOrCodec(info.fccHandler, reader.VideoCodecName(0)).c_str());
        PrintLine(stdout, "Frames: %i  Frames/sec.: %6.3f%s", frames, rate,
                  VariableRateNote(reader, 0));
        PrintLine(stdout, "Duration: %s", FormatTime(rate > 0 ? frames / rate : -1.0).c_str());
        PrintLine(stdout, "Scan: %s", kmx::ScanTypeText(reader.GetScanType(0)));
    }
}

std::string CodecOrUnknown(const std::string& name) {
    return name.empty() ? "unknown" : name;
}

// Every stream with its header values.
void PrintStreams(CAviReader& reader) {
    AVISTREAMINFOA info{};
    PrintLine(stdout, "Streams:");
    for (std::uint32_t i = 0; i < reader.GetVideoStreamCount(); ++i) {
        if (!reader.GetVideoStreamInfo(i, &info, kStreamInfoSize)) {
            continue;
        }
        PrintLine(stdout,
                  "  video %u: codec %s, handler %s, %u/%u = %.3f frames/sec.%s, %u frames, "
                  "frame %i,%i-%i,%i, buffer %u bytes",
                  i, CodecOrUnknown(reader.VideoCodecName(i)).c_str(),
                  FourccOrCodec(info.fccHandler, reader.VideoCodecName(i)).c_str(), info.dwRate,
                  info.dwScale, StreamRate(info), VariableRateNote(reader, i), info.dwLength,
                  info.rcFrame.left, info.rcFrame.top, info.rcFrame.right, info.rcFrame.bottom,
                  info.dwSuggestedBufferSize);
    }
    for (std::uint32_t i = 0; i < reader.GetAudioStreamCount(); ++i) {
        if (!reader.GetAudioStreamInfo(i, &info, kStreamInfoSize)) {
            continue;
        }
        WAVEFORMATEX wave{};
        char waveText[128] = "";
        if (ReadWaveFormat(reader, i, wave)) {
            std::snprintf(waveText, sizeof waveText,
                          ", format tag %u%s, %u channels, %u Hz, %u bits", wave.wFormatTag,
                          wave.wFormatTag == WAVE_FORMAT_PCM ? " (PCM)" : "", wave.nChannels,
                          wave.nSamplesPerSec, wave.wBitsPerSample);
        }
        const double seconds = StreamRate(info) > 0 ? info.dwLength / StreamRate(info) : -1.0;
        PrintLine(stdout,
                  "  audio %u: codec %s, %u samples, %u/%u samples/sec., sample size %u%s, "
                  "duration %s",
                  i, CodecOrUnknown(reader.AudioCodecName(i)).c_str(), info.dwLength, info.dwRate,
                  info.dwScale, info.dwSampleSize, waveText, FormatTime(seconds).c_str());
    }
}

} // namespace

bool PrintFileInfo(const std::string& path) {
    CAviReader reader;
    if (!reader.Open(path.c_str())) {
        PrintLine(stderr, "ERROR: Open AVI file: %s", path.c_str());
        return false;
    }
    PrintLine(stdout, "File: %s", path.c_str());
    PrintLine(stdout, "Container: %s", reader.ContainerName().c_str());
    PrintVideoSummary(reader);
    PrintLine(stdout, "Usable as input: %s", UsableAsInput(reader).c_str());

    PrintStreams(reader);
    return true;
}

int RunInfoCommand(const std::vector<std::string>& files, bool json) {
    if (json) {
        return PrintFilesJson(files) ? 0 : 1;
    }
    bool ok = true;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (i > 0) {
            std::printf("\n");
        }
        ok = PrintFileInfo(files[i]) && ok;
    }
    return ok ? 0 : 1;
}
