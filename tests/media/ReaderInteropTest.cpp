// Files that ffmpeg writes, AVI and other containers, read through CAviReader
// and judged against ffmpeg's own decoding of the same file: the frame count
// against ffprobe's packet count, every frame's pixels in a shuffled order and
// then forwards (both sides decode with libavcodec and convert with
// libswscale's unscaled path, so the pixels match exactly), and the sound as
// 16-bit PCM (compressed sound decoded alike, with libswresample's default
// conversion). Turned pictures are compared with ffmpeg's own turning by PSNR;
// seeking and damaged files of other containers. MPEG audio cut anywhere
// decoded by CPcmAudio, and which formats count as PCM. (A stream no decoder
// knows: the audio copy tests.)
#include "media/AviReader.h"
#include "media/avi/AviAudioPcm.h"
#include "media/avi/AviChunkIds.h"
#include "media/decode/PcmAudio.h"
#include "media/decode/ReverseFrameCache.h"
#include "media/lavf/LavfMediaSource.h"
#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <numeric>
#include <random>

using namespace avitest;

namespace {

constexpr int kHeight = 120;

// One second (or more) of testsrc2 at 25 frames/s and a stereo sound whose
// channels differ, then the options.
bool MakeFile(const std::string& path, int width, const std::string& args, double seconds = 1) {
    std::vector<std::string> all = Words(
        "-f lavfi -i testsrc2=size=" + std::to_string(width) +
        "x120:rate=25 -f lavfi -i aevalsrc=0.5*sin(440*2*PI*t)|0.3*sin(697*2*PI*t):s=48000 -t " +
        std::to_string(seconds) + " " + args);
    all.push_back(path);
    std::string errors;
    const bool ok = Ffmpeg(all, &errors);
    EXPECT_TRUE(ok) << errors;
    return ok;
}

// The frame's pixels top-down, each as blue, green, red (a fourth byte of a
// 32-bit frame left out) when compared with ffmpeg's bgr24.
Bytes FrameBgr(const BITMAPINFOHEADER* dib, const std::string& pixelFormat) {
    const Bytes rows = DibRowsTopDown(dib);
    if (dib->biBitCount != 32 || pixelFormat != "bgr24") {
        return rows;
    }
    Bytes bgr;
    for (std::size_t i = 0; i + 3 < rows.size(); i += 4) {
        bgr.insert(bgr.end(), rows.begin() + static_cast<std::ptrdiff_t>(i),
                   rows.begin() + static_cast<std::ptrdiff_t>(i + 3));
    }
    return bgr;
}

// Video stream 0's frames, read in this order and kept by number.
std::vector<Bytes> ReadFrames(CAviReader& reader, const std::vector<std::int32_t>& order,
                              const std::string& pixelFormat = "bgr24") {
    std::vector<Bytes> frames(order.size());
    for (const std::int32_t n : order) {
        const BITMAPINFOHEADER* dib = nullptr;
        reader.GetVideoFrame(0, n, &dib);
        if (dib == nullptr) {
            ADD_FAILURE() << "frame " << n << " did not decode";
            continue;
        }
        frames[static_cast<std::size_t>(n)] = FrameBgr(dib, pixelFormat);
    }
    return frames;
}

std::vector<std::int32_t> Forwards(std::int32_t count) {
    std::vector<std::int32_t> order(static_cast<std::size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    return order;
}

// Frame i of raw frames of `size` bytes each.
Bytes Slice(const Bytes& frames, std::size_t size, std::size_t i) {
    return {frames.begin() + static_cast<std::ptrdiff_t>(size * i),
            frames.begin() + static_cast<std::ptrdiff_t>(size * (i + 1))};
}

struct Case {
    const char* name;
    const char* file;        // name with the container's extension
    int width;               // 162: rows of 24 bits need padding
    const char* args;        // ffmpeg's output options, separated by spaces
    const char* pixelFormat; // ffmpeg's decoding to compare with
    int bitCount;            // of the reader's frames
    bool oddColour = false;  // the colour matrix made one no colour space has
};

void SpoilColourMatrix(Bytes& bytes) {
    // The MPEG-2 sequence display extension (00 00 01 B5, identifier 2,
    // colour description present) names BT.709 primaries, transfer and
    // matrix (1 1 1); the matrix becomes 39, which no colour space has.
    int patched = 0;
    for (std::size_t i = 0; i + 8 <= bytes.size(); ++i) {
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == 0xB5 &&
            (bytes[i + 4] >> 4) == 2 && (bytes[i + 4] & 1) == 1 && bytes[i + 7] == 1) {
            bytes[i + 7] = 39;
            ++patched;
        }
    }
    EXPECT_GT(patched, 0);
}

class ReaderInterop : public testing::TestWithParam<Case> {};

TEST_P(ReaderInterop, FramesAndAudioMatchFfmpeg) {
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    const Case& c = GetParam();
    TempDir dir;
    const std::string made = dir.File(c.file);
    const std::string args = c.args;
    const bool pcm = args.find("-c:a") == args.npos; // in AVI files: else compressed
    ASSERT_TRUE(
        MakeFile(made, c.width, args + (pcm && made.ends_with(".avi") ? " -c:a pcm_s16le" : "")));
    std::string path = made;
    if (c.oddColour) {
        Bytes bytes = ReadWholeFile(made);
        SpoilColourMatrix(bytes);
        path = dir.File(std::string("spoilt.") + c.file);
        ASSERT_TRUE(WriteBytes(path, bytes));
    }
    const Bytes video = FfmpegVideo(path, c.pixelFormat);
    const Bytes audio = FfmpegAudio(path);
    const std::string format = c.pixelFormat;
    const std::size_t frameSize = std::size_t{kHeight} * static_cast<std::size_t>(c.width) *
                                  (format == "bgra"       ? 4
                                   : format == "rgb555le" ? 2
                                                          : 3);
    ASSERT_FALSE(video.empty());
    ASSERT_EQ(video.size() % frameSize, 0u);
    const auto total = static_cast<std::int32_t>(video.size() / frameSize);

    CAviReader reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    ASSERT_EQ(reader.GetVideoStreamCount(), 1u);
    const std::int32_t count = reader.GetVideoLength(0);
    EXPECT_EQ(count, total);
    EXPECT_EQ(count, ProbeVideoPackets(path));
    AVISTREAMINFOA info{};
    ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, sizeof info));
    EXPECT_EQ(info.fccType, Fourcc("vids"));
    EXPECT_EQ(info.dwRate * 1.0 / info.dwScale, 25.0);
    EXPECT_EQ(info.rcFrame.right, c.width);
    EXPECT_EQ(info.rcFrame.bottom, kHeight);

    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    // Rows padded to 4 bytes; other containers' frames have 32 bits when
    // rows of 24 would need padding.
    const BITMAPINFOHEADER* dib = nullptr;
    reader.GetVideoFrame(0, 1, &dib);
    ASSERT_NE(dib, nullptr);
    EXPECT_EQ(dib->biBitCount, c.bitCount);
    EXPECT_EQ(dib->biSizeImage, DibStride(dib) * kHeight);
    std::vector<std::int32_t> shuffled = Forwards(count);
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
    const std::vector<Bytes> jumps = ReadFrames(reader, shuffled, format);
    const std::vector<Bytes> forwards = ReadFrames(reader, Forwards(count), format);
    for (std::size_t i = 0; i < forwards.size(); ++i) {
        ASSERT_TRUE(forwards[i] == Slice(video, frameSize, i)) << "frame " << i;
    }
    EXPECT_TRUE(jumps == forwards);

    // All of the audio, compressed sound as 16-bit PCM (a second call keeps what is there), read in
    // pieces of an odd size, so that reads start inside the decoded blocks.
    ASSERT_EQ(reader.GetAudioStreamCount(), 1u);
    ASSERT_TRUE(reader.DecodeAudioToPcm(0));
    ASSERT_TRUE(reader.DecodeAudioToPcm(0));
    std::int32_t size = 0;
    const std::uint8_t* wave = reader.GetAudioFormat(0, &size);
    Bytes pcmFormat = WaveFormat(2, 48000);
    pcmFormat.resize(static_cast<std::size_t>(size)); // a file's own may end before cbSize
    EXPECT_EQ(Bytes(wave, wave + size), pcmFormat);
    const Bytes ours = ReadAllAudio(reader, 997);
    ASSERT_TRUE(reader.GetAudioStreamInfo(0, &info, sizeof info));
    EXPECT_EQ(info.fccType, Fourcc("auds"));
    EXPECT_EQ(info.dwSampleSize, 4u);
    EXPECT_EQ(info.dwRate / info.dwScale, 48000u);
    EXPECT_EQ(info.dwSampleSize * static_cast<std::size_t>(info.dwLength), ours.size());
    EXPECT_GT(ours.size(), 180000u);
    EXPECT_TRUE(ours == audio);
    // A buffer below one sample frame takes nothing.
    std::uint8_t small[3];
    std::int32_t bytes = 0;
    std::int32_t samples = 0;
    EXPECT_EQ(reader.ReadAudio(0, 0, 1, small, sizeof small, &bytes, &samples),
              CAviReader::kReadAudioBufferTooSmall);
}

INSTANTIATE_TEST_SUITE_P(
    Files, ReaderInterop,
    testing::Values(
        // AVI files hold PCM sound unless the options name another codec.
        // (Encoders with a delay would make ffmpeg start the video with an
        // empty chunk, which it leaves out and we read as a frame.)
        Case{"bgr24", "made.avi", 162,
             "-c:v rawvideo -pix_fmt bgr24 -c:a libmp3lame -avoid_negative_ts disabled", "bgr24",
             24},
        Case{"bottom_up", "made.avi", 160,
             "-c:v rawvideo -pix_fmt bgr24 -flipped_raw_rgb 1 -c:a ac3", "bgr24", 24},
        Case{"bgra", "made.avi", 160,
             "-c:v rawvideo -pix_fmt bgra -c:a aac -avoid_negative_ts disabled", "bgra", 32},
        Case{"rgb555le", "made.avi", 162, "-c:v rawvideo -pix_fmt rgb555le -c:a adpcm_ima_wav",
             "rgb555le", 16},
        Case{"mjpeg", "made.avi", 160, "-c:v mjpeg -q:v 3 -c:a adpcm_ms", "bgr24", 24},
        Case{"mpeg4_bframes", "made.avi", 160, "-c:v mpeg4 -g 12 -bf 2", "bgr24", 24},
        Case{"huffyuv", "made.avi", 160, "-c:v huffyuv -pix_fmt bgra", "bgr24", 24},
        Case{"ffv1", "made.avi", 160, "-c:v ffv1 -pix_fmt bgr0 -g 5", "bgr24", 24},
        Case{"Mp4H264Aac", "made.mp4", 160, "-c:v libx264 -bf 2 -g 10 -pix_fmt yuv420p -c:a aac",
             "bgr24", 24},
        Case{"MkvMpeg4Vorbis", "made.mkv", 160, "-c:v mpeg4 -bf 2 -g 10 -c:a libvorbis", "bgr24",
             24},
        Case{"MovH264Pcm", "made.mov", 160, "-c:v libx264 -g 10 -pix_fmt yuv420p -c:a pcm_s16le",
             "bgr24", 24},
        Case{"WebmVp9Opus", "made.webm", 160,
             "-c:v libvpx-vp9 -deadline realtime -cpu-used 8 -g 10 -c:a libopus", "bgr24", 24},
        Case{"MpegTsH264Mp2", "made.ts", 160, "-c:v libx264 -bf 2 -g 10 -pix_fmt yuv420p -c:a mp2",
             "bgr24", 24},
        // Colour fields outside their range: an unknown colour space, as for ffmpeg.
        Case{"MpegOddColour", "made.mpg", 160, "-c:v mpeg2video -colorspace bt709 -c:a mp2",
             "bgr24", 24, true},
        // Rows of 24 bits at this width need padding: 32-bit frames.
        Case{"Width854", "wide.mp4", 854, "-c:v libx264 -g 10 -pix_fmt yuv420p -c:a aac", "bgr24",
             32}),
    [](const testing::TestParamInfo<Case>& param) { return std::string(param.param.name); });

TEST(LavfReader, TurnedPhoneVideoComesOutUpright) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    for (const int rotate : {90, 180, 270}) {
        // ffmpeg 5.1 writes the display matrix from the rotate tag when it
        // copies the stream.
        const std::string plain = dir.File("plain.mp4");
        ASSERT_TRUE(MakeFile(plain, 160, "-frames:v 5 -c:v libx264 -pix_fmt yuv420p -an"));
        const std::string path = dir.File("turned" + std::to_string(rotate) + ".mp4");
        std::string errors;
        ASSERT_TRUE(Ffmpeg(
            {"-i", plain, "-c", "copy", "-metadata:s:v", "rotate=" + std::to_string(rotate), path},
            &errors))
            << errors;
        // ffmpeg turns the pictures itself by the display matrix.
        const Bytes upright = FfmpegVideo(path, "bgr24");
        const bool sideways = rotate != 180;
        const int width = sideways ? kHeight : 160;
        const int height = sideways ? 160 : kHeight;
        const std::size_t frameSize = static_cast<std::size_t>(width) * 3 * height;
        ASSERT_EQ(upright.size(), frameSize * 5);

        CAviReader reader;
        ASSERT_TRUE(reader.Open(path.c_str()));
        AVISTREAMINFOA info{};
        ASSERT_TRUE(reader.GetVideoStreamInfo(0, &info, sizeof info));
        EXPECT_EQ(info.rcFrame.right, width);
        EXPECT_EQ(info.rcFrame.bottom, height);
        ASSERT_TRUE(reader.StartVideoRetrieve(0));
        const std::vector<Bytes> frames = ReadFrames(reader, Forwards(5));
        for (std::size_t i = 0; i < frames.size(); ++i) {
            EXPECT_GT(Psnr(frames[i], Slice(upright, frameSize, i)), 45.0)
                << rotate << " degrees, frame " << i;
        }
    }
}

struct SeekCase {
    const char* file;
    const char* args;
    // A frame cache of a few frames: each key-frame segment of 12 goes to a
    // temporary file in $TMPDIR, which must never show a name.
    bool smallCache = false;
};

class LavfReaderSeeking : public testing::TestWithParam<SeekCase> {};

TEST_P(LavfReaderSeeking, BackwardReadingSeeksAndMatchesForwards) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string path = dir.File(GetParam().file);
    ASSERT_TRUE(MakeFile(path, 160, std::string(GetParam().args) + " -g 12 -an", 4));
    const std::filesystem::path tmpdir = dir.Path() / "tmp";
    ASSERT_TRUE(std::filesystem::create_directory(tmpdir));
    if (GetParam().smallCache) {
        kmx::SetDecodeCacheBudget(kmx::DecoderPictureBytes(160, 120) + 4 * 160 * 120 * 3);
        setenv("TMPDIR", tmpdir.c_str(), 1);
    }
    kmx::CLavfMediaSource reader;
    ASSERT_TRUE(reader.Open(path.c_str()));
    ASSERT_EQ(reader.GetVideoLength(0), 100);
    ASSERT_TRUE(reader.StartVideoRetrieve(0));
    std::vector<Bytes> forwards;
    for (std::int32_t i = 0; i < 100; ++i) {
        forwards.push_back(FrameRows(reader, i));
    }
    EXPECT_EQ(reader.VideoSeeks(), 0u);
    for (std::int32_t i = 99; i >= 0; --i) {
        EXPECT_TRUE(FrameRows(reader, i) == forwards[static_cast<std::size_t>(i)]) << i;
        EXPECT_TRUE(std::filesystem::is_empty(tmpdir)) << i;
    }
    kmx::ClearDecodeCacheBudget();
    unsetenv("TMPDIR");
    EXPECT_GT(reader.VideoSeeks(), 0u);
    // The demuxer seeks to every key packet: no jump reads from the start.
    EXPECT_EQ(reader.VideoRewinds(), 0u);
}

INSTANTIATE_TEST_SUITE_P(Containers, LavfReaderSeeking,
                         testing::Values(SeekCase{"b.mp4", "-c:v libx264 -bf 2 -pix_fmt yuv420p"},
                                         SeekCase{"b.mkv", "-c:v libx264 -bf 2 -pix_fmt yuv420p"},
                                         SeekCase{"spill.mp4", "-c:v libx264 -bf 2", true},
                                         SeekCase{"spill.mkv", "-c:v mpeg4 -bf 2", true},
                                         // Open key-frame segments.
                                         SeekCase{"spill.ts", "-c:v mpeg2video -bf 2", true},
                                         SeekCase{"spill.mov",
                                                  "-c:v libx265 -x265-params "
                                                  "open-gop=1:log-level=0 -pix_fmt yuv420p",
                                                  true},
                                         SeekCase{"b.webm", "-c:v libvpx -deadline realtime"},
                                         SeekCase{"b.ts", "-c:v mpeg2video -bf 2"},
                                         SeekCase{"b.flv", "-c:v flv1"}),
                         [](const testing::TestParamInfo<SeekCase>& param) {
                             const std::string file = param.param.file;
                             return (param.param.smallCache ? "small_cache_" : "") +
                                    file.substr(file.find('.') + 1);
                         });

TEST(LavfReader, DamagedFilesFailCleanlyOrReadWhatIsThere) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    for (const char* flags : {"", "-movflags +faststart"}) {
        const std::string path = dir.File("whole.mp4");
        ASSERT_TRUE(
            MakeFile(path, 160, std::string("-c:v libx264 -pix_fmt yuv420p -c:a aac ") + flags, 2));
        Bytes bytes = ReadWholeFile(path);
        bytes.resize(bytes.size() * 6 / 10);
        const std::string cut = dir.File("cut.mp4");
        ASSERT_TRUE(WriteBytes(cut, bytes));
        CAviReader reader;
        if (!reader.Open(cut.c_str())) {
            EXPECT_EQ(reader.GetVideoStreamCount(), 0u);
            continue;
        }
        // What is there is read, the last picture whole (one cut short is
        // left out); the file says that it promised more.
        ASSERT_TRUE(reader.StartVideoRetrieve(0));
        EXPECT_GT(reader.GetVideoLength(0), 0);
        EXPECT_EQ(reader.GetPromisedVideoLength(0), 50);
        EXPECT_TRUE(reader.EndedOnError() || reader.GetVideoLength(0) < 50);
        const BITMAPINFOHEADER* dib = nullptr;
        reader.GetVideoFrame(0, 0, &dib);
        EXPECT_NE(dib, nullptr);
        for (std::int32_t i = reader.GetVideoLength(0) - 1; i >= 0; --i) {
            reader.GetVideoFrame(0, i, &dib);
            EXPECT_TRUE(dib != nullptr || i < reader.GetVideoLength(0) - 1) << "the last frame";
        }
        if (reader.GetAudioStreamCount() > 0) {
            EXPECT_FALSE(ReadAllAudio(reader, 4096).empty());
        }
    }
    Bytes garbage(100000);
    std::mt19937 random(3);
    std::generate(garbage.begin(), garbage.end(),
                  [&] { return static_cast<std::uint8_t>(random()); });
    const std::string junk = dir.File("junk.mp4");
    ASSERT_TRUE(WriteBytes(junk, garbage));
    CAviReader reader;
    EXPECT_FALSE(reader.Open(junk.c_str()));
    EXPECT_EQ(reader.GetVideoStreamCount() + reader.GetAudioStreamCount(), 0u);

    // A run that is being stopped opens nothing more.
    const std::atomic<std::int32_t> stop{1};
    kmx::SetThreadReadInterrupt(&stop);
    EXPECT_FALSE(reader.Open(dir.File("whole.mp4").c_str()));
    kmx::SetThreadReadInterrupt(nullptr);
    EXPECT_TRUE(reader.Open(dir.File("whole.mp4").c_str()));
}

// A WAVEFORMATEX without extra bytes.
Bytes WaveFormatEx(std::uint16_t tag, int channels, int bits, int blockAlign,
                   std::uint32_t rate = 0, std::uint32_t bytesPerSecond = 0) {
    Bytes f(18, 0);
    kmx::StoreU16(&f[0], tag);
    kmx::StoreU16(&f[2], static_cast<std::uint16_t>(channels));
    kmx::StoreU32(&f[4], rate);
    kmx::StoreU32(&f[8], bytesPerSecond);
    kmx::StoreU16(&f[12], static_cast<std::uint16_t>(blockAlign));
    kmx::StoreU16(&f[14], static_cast<std::uint16_t>(bits));
    return f;
}

// MPEG audio cut at arbitrary places, as AVI files with a byte-sized sample
// hold it: the parser finds the frames again and nothing is lost.
TEST(PcmDecoding, MpegAudioCutAnywhereDecodesWhole) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string path = dir.File("sound.mp3");
    ASSERT_TRUE(Ffmpeg({"-f", "lavfi", "-i", "sine=frequency=440:sample_rate=44100", "-t", "2",
                        "-c:a", "libmp3lame", "-b:a", "128k", "-write_xing", "0", "-id3v2_version",
                        "0", "-f", "mp3", path}));
    const Bytes stream = ReadWholeFile(path);
    const Bytes expected = FfmpegAudio(path);
    ASSERT_FALSE(stream.empty());
    ASSERT_FALSE(expected.empty());

    const Bytes format = WaveFormatEx(0x55, 1, 0, 1, 44100, 16000); // MPEG layer 3, mono
    kmx::CPcmAudio pcm;
    ASSERT_TRUE(pcm.OpenWaveFormat(format.data(), format.size()));
    for (std::size_t at = 0; at < stream.size(); at += 777) {
        ASSERT_TRUE(pcm.Decode(&stream[at], std::min<std::size_t>(777, stream.size() - at)));
    }
    ASSERT_TRUE(pcm.Finish());
    EXPECT_EQ(pcm.Rejected(), 0);
    ASSERT_EQ(static_cast<std::size_t>(pcm.Length()) * 2, expected.size());
    Bytes decoded(expected.size());
    ASSERT_TRUE(pcm.Read(0, pcm.Length(), decoded.data()));
    EXPECT_TRUE(decoded == expected);
    EXPECT_FALSE(pcm.Read(1, pcm.Length(), decoded.data())); // past the end
}

TEST(PcmDecoding, PcmFormatsAreThoseWithOneSampleFramePerBlock) {
    auto extensible = [](std::uint16_t subFormat, int channels, int bits, int blockAlign) {
        Bytes f = WaveFormatEx(0xFFFE, channels, bits, blockAlign);
        kmx::StoreU16(&f[16], 22);
        f.resize(40, 0);
        kmx::StoreU16(&f[24], subFormat);
        return f;
    };
    for (const Bytes& f :
         {WaveFormatEx(1, 2, 16, 4), WaveFormatEx(1, 1, 8, 1), WaveFormatEx(1, 2, 24, 6),
          WaveFormatEx(3, 2, 32, 8), WaveFormatEx(6, 1, 8, 1), WaveFormatEx(7, 2, 8, 2),
          extensible(1, 6, 24, 18), extensible(3, 2, 32, 8)}) {
        EXPECT_TRUE(kmx::IsPcmWaveFormat(f)) << kmx::LoadU16(f.data()) << " " << f.size();
    }
    // Blocks of several sample frames cannot be reversed as they are; MP3,
    // AC-3, IMA and MS ADPCM; a format too short.
    for (const Bytes& f :
         {WaveFormatEx(1, 2, 16, 4096), WaveFormatEx(1, 2, 16, 0), WaveFormatEx(0x55, 2, 0, 1),
          WaveFormatEx(0x2000, 2, 0, 1), WaveFormatEx(0x11, 2, 4, 2048),
          WaveFormatEx(2, 2, 4, 2048), extensible(0x55, 2, 16, 4), Bytes(10, 0)}) {
        EXPECT_FALSE(kmx::IsPcmWaveFormat(f)) << kmx::LoadU16(f.data()) << " " << f.size();
    }
}

} // namespace
