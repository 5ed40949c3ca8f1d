// Codec names as libavcodec gives them ("h264", "aac", "pcm_s16le"), for
// what the program tells about the files it reads and writes, and the
// codec a RIFF audio format tag stands for.
#pragma once

#include <cstdint>
#include <string>

namespace kmx {

// libavcodec's name of an AVCodecID; empty for none or one it does not know.
std::string CodecName(int codecId);

// Whether all four bytes of code are letters, digits or spaces, as in a FourCC
// ("H264", "DIB "). Numbers that containers keep where AVI keeps a FourCC,
// such as MPEG-TS's stream types (2 for MPEG-2 video), are not.
bool IsTextFourcc(std::uint32_t code);

// The codec of a BITMAPINFOHEADER (size bytes at format) by its compression
// FOURCC or, failing that, the stream handler's; "rawvideo" for BI_RGB.
std::string VideoFormatCodecName(const std::uint8_t* format, std::int32_t size,
                                 std::uint32_t handler);
// The codec of a WAVEFORMATEX (size bytes at format).
std::string WaveFormatCodecName(const std::uint8_t* format, std::int32_t size);

// The AVCodecID of a RIFF audio format tag; the PCM tags name one codec per
// sample width, as in WAV files.
int AudioCodecOfTag(std::uint16_t tag, std::uint16_t bits);

} // namespace kmx
