// The reader gives the same streams, frames and audio whether a file is
// opened by path or handed over as bytes in memory, also for files cut short
// anywhere.
#include "media/AviReader.h"
#include "media/io/ByteSource.h"
#include "pattern/TestPattern.h"
#include "tests/media/AviWriterTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

using namespace avitest;

namespace {

constexpr int kWidth = 50; // 24-bit rows with padding
constexpr int kHeight = 36;
constexpr int kFrames = 12;

// Everything the reader hands out for a file, gathered for comparison.
struct Contents {
    bool opened = false;
    std::vector<std::uint32_t> lengths; // video streams, then audio streams
    std::vector<std::uint32_t> rates;
    std::vector<Bytes> frames; // of video stream 0 in order, empty for null
    std::vector<int> numbers;  // the test-pattern number of each frame
    Bytes audioFormat;
    Bytes audio;                   // audio stream 0, read 100 samples at a time
    std::int32_t audioResult = -1; // of the read that ended the audio
    bool operator==(const Contents&) const = default;
};

Bytes WholeDib(const BITMAPINFOHEADER* dib) {
    if (dib == nullptr) {
        return {};
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(dib);
    return Bytes(bytes, bytes + dib->biSize + dib->biSizeImage);
}

void GatherAudio(CAviReader& reader, Contents& c) {
    std::int32_t size = 0;
    const std::uint8_t* format = reader.GetAudioFormat(0, &size);
    c.audioFormat.assign(format, format + size);
    Bytes buffer(1 << 16);
    std::int32_t first = 0;
    std::int32_t bytes = 0;
    std::int32_t samples = 0;
    do {
        c.audioResult =
            reader.ReadAudio(0, first, 100, buffer.data(), static_cast<std::int32_t>(buffer.size()),
                             &bytes, &samples);
        c.audio.insert(c.audio.end(), buffer.begin(), buffer.begin() + bytes);
        first += samples;
    } while (c.audioResult == 0 && samples > 0 && first < reader.GetAudioLength(0));
}

Contents Gather(CAviReader& reader, bool opened) {
    Contents c;
    c.opened = opened;
    if (!opened) {
        return c;
    }
    for (std::uint32_t i = 0; i < reader.GetVideoStreamCount() + reader.GetAudioStreamCount();
         ++i) {
        AVISTREAMINFOA info{};
        const bool video = i < reader.GetVideoStreamCount();
        const std::uint32_t n = video ? i : i - reader.GetVideoStreamCount();
        EXPECT_TRUE(video ? reader.GetVideoStreamInfo(n, &info, sizeof info)
                          : reader.GetAudioStreamInfo(n, &info, sizeof info));
        c.lengths.push_back(info.dwLength);
        c.rates.push_back(info.dwRate);
    }
    if (reader.GetVideoStreamCount() > 0 && reader.StartVideoRetrieve(0)) {
        for (std::int32_t k = 0; k < reader.GetVideoLength(0); ++k) {
            const BITMAPINFOHEADER* dib = nullptr;
            reader.GetVideoFrame(0, k, &dib);
            c.frames.push_back(WholeDib(dib));
            c.numbers.push_back(
                dib == nullptr ? -1
                               : kmx::ReadTestPatternNumber(DibPixels(dib), kWidth, kHeight, 24));
        }
    }
    if (reader.GetAudioStreamCount() > 0) {
        GatherAudio(reader, c);
    }
    return c;
}

Contents FromFile(const TempDir& dir, const Bytes& bytes) {
    const std::string path = dir.File("read.avi");
    EXPECT_TRUE(WriteBytes(path, bytes));
    CAviReader reader;
    return Gather(reader, reader.Open(path.c_str()));
}

Contents FromMemory(const Bytes& bytes) {
    CAviReader reader;
    return Gather(reader, reader.OpenMemory(bytes.data(), bytes.size()));
}

// A sample file with audio written by the project's own writer.
Bytes SampleBytes(const TempDir& dir) {
    const kmx::SampleAviOptions o{.width = kWidth,
                                  .height = kHeight,
                                  .frames = kFrames,
                                  .audio = true,
                                  .audioRate = 8000,
                                  .audioChannels = 1,
                                  .patternOffset = 300};
    std::string error;
    EXPECT_TRUE(kmx::WriteSampleAvi(dir.File("sample.avi"), o, &error)) << error;
    return ReadWholeFile(dir.File("sample.avi"));
}

TEST(AviReaderMemory, WholeFileReadsAsFromDiskAndAsWritten) {
    TempDir dir;
    const Bytes bytes = SampleBytes(dir);
    ASSERT_FALSE(bytes.empty());
    const Contents memory = FromMemory(bytes);
    ASSERT_TRUE(memory.opened);
    EXPECT_TRUE(memory == FromFile(dir, bytes));
    // Judged on its own too: every frame carries its number, every audio
    // sample its index.
    ASSERT_EQ(memory.numbers.size(), static_cast<std::size_t>(kFrames));
    for (int k = 0; k < kFrames; ++k) {
        EXPECT_EQ(memory.numbers[static_cast<std::size_t>(k)], 300 + k);
    }
    EXPECT_EQ(memory.audioResult, 0);
    ASSERT_EQ(memory.audio.size(), 2 * static_cast<std::size_t>(kFrames) * 8000 / 25);
    for (std::size_t s = 0; s < memory.audio.size() / 2; ++s) {
        ASSERT_EQ(kmx::LoadI16(&memory.audio[2 * s]),
                  kmx::TestAudioValue(static_cast<std::int64_t>(s), 0))
            << "sample " << s;
    }
}

TEST(AviReaderMemory, FileCutShortAnywhereBehavesAsTheSameFileOnDisk) {
    TempDir dir;
    const Bytes whole = SampleBytes(dir);
    ASSERT_GT(whole.size(), 2000u);
    std::vector<std::size_t> cuts = {0, 4, 11, 12, 100, 1000, whole.size() - 1};
    for (std::size_t part = 1; part < 8; ++part) {
        cuts.push_back(whole.size() * part / 8);
    }
    int opened = 0;
    for (const std::size_t cut : cuts) {
        const Bytes bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut));
        const Contents memory = FromMemory(bytes);
        EXPECT_TRUE(memory == FromFile(dir, bytes)) << "cut at " << cut;
        for (std::size_t k = 0; k < memory.numbers.size(); ++k) {
            EXPECT_TRUE(memory.numbers[k] == 300 + static_cast<int>(k) || memory.frames[k].empty())
                << "cut at " << cut << ", frame " << k;
        }
        opened += memory.opened ? 1 : 0;
    }
    // Cuts after the headers still open, with the frames that are whole.
    EXPECT_GE(opened, 7);
    EXPECT_LT(opened, static_cast<int>(cuts.size()));
}

TEST(AviReaderMemory, OpenDmlFileReadsAsFromDisk) {
    TempDir dir;
    BuildOptions options;
    options.index = IndexKind::OpenDml;
    options.extensionFrom = 6;
    const Bytes bytes =
        BuildAvi({RawVideoStream(kWidth, kHeight, 10), PcmAudioStream({80, 0, 80})}, options);
    const Contents memory = FromMemory(bytes);
    ASSERT_TRUE(memory.opened);
    EXPECT_EQ(memory.frames.size(), 10u);
    EXPECT_TRUE(memory == FromFile(dir, bytes));
}

TEST(AviReaderMemory, NoBytesAndNullDataAreRefused) {
    CAviReader reader;
    EXPECT_FALSE(reader.OpenMemory(nullptr, 0));
    EXPECT_FALSE(reader.OpenMemory(nullptr, 4096));
    EXPECT_FALSE(reader.Open(std::unique_ptr<kmx::IByteSource>()));
    EXPECT_EQ(reader.GetVideoStreamCount(), 0u);
}

TEST(ByteSource, MemoryReadsOnlyWhatLiesWithinIt) {
    const std::uint8_t bytes[] = {1, 2, 3, 4, 5};
    const kmx::CMemorySource source(bytes, sizeof bytes);
    EXPECT_EQ(source.Size(), 5u);
    std::uint8_t out[5] = {};
    EXPECT_TRUE(source.ReadAt(3, out, 2));
    EXPECT_EQ(out[0], 4);
    EXPECT_EQ(out[1], 5);
    EXPECT_TRUE(source.ReadAt(5, out, 0));
    EXPECT_FALSE(source.ReadAt(4, out, 2));
    EXPECT_FALSE(source.ReadAt(6, out, 0));
    EXPECT_FALSE(source.ReadAt(~std::uint64_t{0}, out, 1));
}

// Scattered reads (a tall top-down frame's rows) take more pieces than one
// system call does, some of them empty; file and memory give the same bytes
// and refuse pieces that run past the end.
TEST(ByteSource, PiecesFromFileAndMemoryHoldTheBytesInTurn) {
    TempDir dir;
    Bytes bytes(20000);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 256);
    }
    const std::string path = dir.File("bytes.bin");
    ASSERT_TRUE(WriteBytes(path, bytes));
    kmx::CFileSource file;
    ASSERT_TRUE(file.Open(path.c_str()));
    const kmx::CMemorySource memory(bytes.data(), bytes.size());
    for (const kmx::IByteSource* source : {static_cast<const kmx::IByteSource*>(&file),
                                           static_cast<const kmx::IByteSource*>(&memory)}) {
        Bytes out(3000 * 6, 0);
        std::vector<kmx::ReadPiece> pieces;
        std::size_t total = 0;
        for (std::size_t i = 0; i < 3000; ++i) { // filled back to front
            const std::size_t size = i % 7;
            pieces.push_back({out.data() + out.size() - (i + 1) * 6, size});
            total += size;
        }
        ASSERT_TRUE(source->ReadPiecesAt(100, pieces.data(), pieces.size()));
        std::size_t at = 100;
        for (const kmx::ReadPiece& piece : pieces) {
            const auto* got = static_cast<const std::uint8_t*>(piece.out);
            ASSERT_TRUE(std::equal(got, got + piece.size, bytes.begin() + static_cast<long>(at)));
            at += piece.size;
        }
        EXPECT_EQ(at, 100 + total);
        EXPECT_FALSE(source->ReadPiecesAt(bytes.size() - total + 1, pieces.data(), pieces.size()));
        EXPECT_TRUE(source->ReadPiecesAt(bytes.size() - total, pieces.data(), pieces.size()));
    }
}

} // namespace
