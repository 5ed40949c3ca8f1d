#include "pattern/TestPattern.h"

#include "media/AviRecords.h"
#include "media/AviWriter.h"
#include "media/avi/AviChunkIds.h"
#include "media/avi/RiffAviWriter.h"
#include "media/io/ByteOrder.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace kmx {

namespace {

// The number is drawn as two rows of square cells in the middle of the frame.
// Each row has a guard cell at both ends (black and white, swapped in the
// second row) that tells the reader what black and white look like after
// compression, and 16 bit cells between them: white for 1, black for 0.
// The 32 bits are the 24-bit number and an 8-bit check of it.
constexpr int kBitsPerRow = 16;
constexpr int kCellsPerRow = kBitsPerRow + 2;
constexpr int kCellRows = 2;
constexpr int kMaxCell = 32;
constexpr int kMinContrast = 64;

struct Layout {
    int cell = 0; // cell edge in pixels; 0 when the frame is too small
    int left = 0;
    int top = 0; // first cell row, counted from the top of the picture
};

Layout ComputeLayout(int width, int height) {
    Layout l;
    int cell = std::min(width / (kCellsPerRow + 2), height / (kCellRows + 4));
    cell = std::min(cell, kMaxCell);
    if (cell >= 8) {
        cell -= cell % 8; // cells on the 8x8 block grid of the usual codecs
    }
    if (cell < 1) {
        return l;
    }
    l.cell = cell;
    l.left = (width - kCellsPerRow * cell) / 2;
    l.top = (height - kCellRows * cell) / 2;
    if (cell % 8 == 0) {
        l.left -= l.left % 8;
        l.top -= l.top % 8;
    }
    return l;
}

std::uint8_t Check8(std::uint32_t number) {
    std::uint8_t crc = 0x5A;
    for (int i = 0; i < 3; ++i) {
        crc ^= static_cast<std::uint8_t>(number >> (8 * i));
        for (int b = 0; b < 8; ++b) {
            crc = static_cast<std::uint8_t>((crc & 0x80) != 0 ? (crc << 1) ^ 0x07 : crc << 1);
        }
    }
    return crc;
}

std::uint32_t CodeFor(int number) {
    const auto value = static_cast<std::uint32_t>(number) & kMaxTestPatternNumber;
    return value | (static_cast<std::uint32_t>(Check8(value)) << 24);
}

constexpr int kBlackGuard = -1;
constexpr int kWhiteGuard = -2;

// What the cell in cell row `row`, column `column` shows: a guard, or the
// index 0..31 of the bit it carries.
int CellMeaning(int row, int column) {
    if (column == 0) {
        return row == 0 ? kBlackGuard : kWhiteGuard;
    }
    if (column == kCellsPerRow - 1) {
        return row == 0 ? kWhiteGuard : kBlackGuard;
    }
    return row * kBitsPerRow + column - 1;
}

int Triangle(int v) {
    v &= 511;
    return v < 256 ? v : 511 - v;
}

struct Rgb {
    int r;
    int g;
    int b;
};

Rgb Background(int x, int top, int width, int height, int number) {
    const int n = static_cast<int>(static_cast<std::uint32_t>(number) & 0xFFFF);
    return {Triangle(x * 255 / std::max(1, width - 1) + n * 5),
            Triangle(top * 255 / std::max(1, height - 1) + n * 3 + 128),
            Triangle((x + top) * 127 / std::max(1, width + height - 2) + n * 7 + 64)};
}

void StorePixel(std::uint8_t* p, int bitsPerPixel, Rgb c) {
    switch (bitsPerPixel) {
    case 16:
        StoreU16(p,
                 static_cast<std::uint16_t>(((c.r >> 3) << 10) | ((c.g >> 3) << 5) | (c.b >> 3)));
        break;
    case 24:
        p[0] = static_cast<std::uint8_t>(c.b);
        p[1] = static_cast<std::uint8_t>(c.g);
        p[2] = static_cast<std::uint8_t>(c.r);
        break;
    default:
        p[0] = static_cast<std::uint8_t>(c.b);
        p[1] = static_cast<std::uint8_t>(c.g);
        p[2] = static_cast<std::uint8_t>(c.r);
        p[3] = 0;
        break;
    }
}

int Luma(const std::uint8_t* p, int bitsPerPixel) {
    int r = 0;
    int g = 0;
    int b = 0;
    if (bitsPerPixel == 16) {
        const int v = LoadU16(p);
        r = ((v >> 10) & 31) * 255 / 31;
        g = ((v >> 5) & 31) * 255 / 31;
        b = (v & 31) * 255 / 31;
    } else {
        b = p[0];
        g = p[1];
        r = p[2];
    }
    return (r * 77 + g * 150 + b * 29) >> 8;
}

bool ValidDepth(int bitsPerPixel) {
    return bitsPerPixel == 16 || bitsPerPixel == 24 || bitsPerPixel == 32;
}

void SetError(std::string* error, const char* text) {
    if (error != nullptr) {
        *error = text;
    }
}

} // namespace

std::size_t DibRowBytes(int width, int bitsPerPixel) {
    if (width <= 0 || bitsPerPixel <= 0) {
        return 0;
    }
    return ((static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel) + 31) / 32) *
           4;
}

std::size_t TestPatternFrameBytes(int width, int height, int bitsPerPixel) {
    if (height <= 0) {
        return 0;
    }
    return DibRowBytes(width, bitsPerPixel) * static_cast<std::size_t>(height);
}

void FillTestPatternFrame(std::uint8_t* pixels, int width, int height, int bitsPerPixel,
                          int number) {
    if (pixels == nullptr || width <= 0 || height <= 0 || !ValidDepth(bitsPerPixel)) {
        return;
    }
    const std::size_t stride = DibRowBytes(width, bitsPerPixel);
    const std::size_t bytesPerPixel = static_cast<std::size_t>(bitsPerPixel / 8);
    const Layout l = ComputeLayout(width, height);
    const std::uint32_t code = CodeFor(number);
    const Rgb black{0, 0, 0};
    const Rgb white{255, 255, 255};
    for (int top = 0; top < height; ++top) {
        // DIB rows are stored bottom-up.
        std::uint8_t* row = pixels + static_cast<std::size_t>(height - 1 - top) * stride;
        std::fill(row + static_cast<std::size_t>(width) * bytesPerPixel, row + stride, 0);
        const int cellRow = l.cell > 0 && top >= l.top ? (top - l.top) / l.cell : -1;
        for (int x = 0; x < width; ++x) {
            Rgb c = Background(x, top, width, height, number);
            const int column = l.cell > 0 && x >= l.left ? (x - l.left) / l.cell : -1;
            if (cellRow >= 0 && cellRow < kCellRows && column >= 0 && column < kCellsPerRow) {
                const int meaning = CellMeaning(cellRow, column);
                if (meaning == kBlackGuard) {
                    c = black;
                } else if (meaning == kWhiteGuard) {
                    c = white;
                } else {
                    c = ((code >> meaning) & 1) != 0 ? white : black;
                }
            }
            StorePixel(row + static_cast<std::size_t>(x) * bytesPerPixel, bitsPerPixel, c);
        }
    }
}

std::vector<std::uint8_t> PackedTestPatternFrame(int width, int height, int bitsPerPixel,
                                                 int number) {
    std::vector<std::uint8_t> frame;
    const std::size_t stride = DibRowBytes(width, bitsPerPixel);
    if (stride == 0 || height <= 0 || !ValidDepth(bitsPerPixel)) {
        return frame;
    }
    const std::size_t row =
        static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerPixel / 8);
    const auto rows = static_cast<std::size_t>(height);
    try {
        std::vector<std::uint8_t> padded(stride * rows);
        FillTestPatternFrame(padded.data(), width, height, bitsPerPixel, number);
        frame.resize(row * rows);
        for (std::size_t y = 0; y < rows; ++y) {
            std::memcpy(frame.data() + row * y, padded.data() + stride * y, row);
        }
    } catch (const std::bad_alloc&) {
        frame.clear();
    }
    return frame;
}

int ReadTestPatternNumber(const std::uint8_t* pixels, int width, int height, int bitsPerPixel) {
    if (pixels == nullptr || width <= 0 || height <= 0 || !ValidDepth(bitsPerPixel)) {
        return -1;
    }
    const Layout l = ComputeLayout(width, height);
    if (l.cell == 0) {
        return -1;
    }
    const std::size_t stride = DibRowBytes(width, bitsPerPixel);
    const std::size_t bytesPerPixel = static_cast<std::size_t>(bitsPerPixel / 8);
    // Average of the middle half of each cell, away from blurred edges.
    const int margin = l.cell / 4;
    int levels[kCellRows][kCellsPerRow];
    for (int cr = 0; cr < kCellRows; ++cr) {
        for (int cc = 0; cc < kCellsPerRow; ++cc) {
            long sum = 0;
            long count = 0;
            for (int y = margin; y < l.cell - margin; ++y) {
                const int top = l.top + cr * l.cell + y;
                const std::uint8_t* row =
                    pixels + static_cast<std::size_t>(height - 1 - top) * stride;
                for (int x = margin; x < l.cell - margin; ++x) {
                    const int px = l.left + cc * l.cell + x;
                    sum += Luma(row + static_cast<std::size_t>(px) * bytesPerPixel, bitsPerPixel);
                    ++count;
                }
            }
            levels[cr][cc] = static_cast<int>(sum / std::max(1L, count));
        }
    }
    const int blackLevel = (levels[0][0] + levels[1][kCellsPerRow - 1]) / 2;
    const int whiteLevel = (levels[1][0] + levels[0][kCellsPerRow - 1]) / 2;
    if (whiteLevel - blackLevel < kMinContrast) {
        return -1;
    }
    const int threshold = (blackLevel + whiteLevel) / 2;
    std::uint32_t code = 0;
    for (int cr = 0; cr < kCellRows; ++cr) {
        for (int cc = 1; cc < kCellsPerRow - 1; ++cc) {
            if (levels[cr][cc] > threshold) {
                code |= std::uint32_t{1} << CellMeaning(cr, cc);
            }
        }
    }
    const std::uint32_t number = code & kMaxTestPatternNumber;
    if ((code >> 24) != Check8(number)) {
        return -1;
    }
    return static_cast<int>(number);
}

std::int16_t TestAudioValue(std::int64_t sample, int channel) {
    // Odd factor: each sample index modulo 65536 gives its own value, and the
    // channels are shifted apart.
    const auto v =
        static_cast<std::uint64_t>(sample) * 3 + static_cast<std::uint64_t>(channel) * 0x2001;
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(v & 0xFFFF));
}

std::int64_t TestAudioFirstSample(std::int64_t frame, const SampleAviOptions& options) {
    if (frame <= 0 || options.rate == 0) {
        return 0;
    }
    // WriteSampleAvi checks beforehand that frames * audioRate * scale fits
    // in 64 bits.
    const std::uint64_t product =
        static_cast<std::uint64_t>(frame) * options.audioRate * options.scale;
    return static_cast<std::int64_t>(product / options.rate);
}

namespace {

// Why the options cannot make a file, or null when they can; *frameBytes
// receives the size of one frame.
const char* CheckSampleOptions(const SampleAviOptions& o, std::size_t* frameBytes) {
    if (o.width <= 0 || o.height <= 0 || !ValidDepth(o.bitsPerPixel) || o.frames < 0 ||
        o.rate == 0 || o.scale == 0) {
        return "invalid video options";
    }
    if (o.audio && (o.audioRate == 0 || o.audioChannels < 1 || o.audioChannels > 8)) {
        return "invalid audio options";
    }
    *frameBytes = TestPatternFrameBytes(o.width, o.height, o.bitsPerPixel);
    if (*frameBytes == 0 || *frameBytes > RiffAviWriter::kMaxChunkSize) {
        return "frame too large";
    }
    std::uint64_t check = 0;
    if (o.audio &&
        (__builtin_mul_overflow(static_cast<std::uint64_t>(o.frames), o.audioRate, &check) ||
         __builtin_mul_overflow(check, o.scale, &check))) {
        return "audio sample numbers out of range";
    }
    if (o.audio && std::uint64_t{o.audioRate} * (2 * o.audioChannels) >
                       std::numeric_limits<std::uint32_t>::max()) {
        return "audio rate too high";
    }
    return nullptr;
}

// The stream headers and formats of a sample file: DIB video and 16-bit PCM.
struct SampleStreams {
    std::uint8_t videoFormat[kBitmapInfoHeaderSize];
    std::uint8_t audioFormat[kWaveFormatExSize];
    AVISTREAMINFOA video{};
    AVISTREAMINFOA audio{};
    std::uint16_t blockAlign = 0;
};

void MakeSampleStreams(const SampleAviOptions& o, std::size_t frameBytes, SampleStreams& out) {
    StoreRecord(out.videoFormat, TestPatternFormat(o.width, o.height, o.bitsPerPixel));

    out.video.fccType = kVids;
    out.video.fccHandler = MakeFourcc('D', 'I', 'B', ' ');
    out.video.dwScale = o.scale;
    out.video.dwRate = o.rate;
    out.video.dwSuggestedBufferSize = static_cast<std::uint32_t>(frameBytes);
    out.video.dwQuality = 0xFFFFFFFFu;
    out.video.rcFrame = {0, 0, o.width, o.height};

    out.blockAlign = static_cast<std::uint16_t>(2 * o.audioChannels);
    WAVEFORMATEX wave{};
    wave.wFormatTag = WAVE_FORMAT_PCM;
    wave.nChannels = static_cast<std::uint16_t>(o.audioChannels);
    wave.nSamplesPerSec = o.audioRate;
    wave.nBlockAlign = out.blockAlign;
    wave.wBitsPerSample = 16;
    wave.nAvgBytesPerSec = static_cast<std::uint32_t>(std::uint64_t{o.audioRate} * out.blockAlign);
    StoreRecord(out.audioFormat, wave);

    out.audio.fccType = kAuds;
    out.audio.dwScale = out.blockAlign;
    out.audio.dwRate = wave.nAvgBytesPerSec;
    out.audio.dwQuality = 0xFFFFFFFFu;
    out.audio.dwSampleSize = out.blockAlign;
}

bool SetUpSampleStreams(CAviWriter& writer, const SampleStreams& s, bool audio) {
    return writer.CreateVideoStream(s.video) && (!audio || writer.CreateAudioStream(s.audio)) &&
           writer.SetVideoFormat(s.videoFormat, static_cast<std::int32_t>(sizeof s.videoFormat)) &&
           (!audio ||
            writer.SetAudioFormat(s.audioFormat, static_cast<std::int32_t>(sizeof s.audioFormat)));
}

// Writes the audio samples that belong to frame k; why that failed, or null.
const char* WriteSampleAudio(CAviWriter& writer, const SampleAviOptions& o, int k,
                             std::uint16_t blockAlign, std::vector<std::uint8_t>& sound) {
    const std::int64_t first = TestAudioFirstSample(k, o);
    const std::int64_t end = TestAudioFirstSample(k + 1, o);
    const std::int64_t count = end - first;
    const std::uint64_t bytes = static_cast<std::uint64_t>(count) * blockAlign;
    if (count <= 0) {
        return nullptr;
    }
    if (bytes > RiffAviWriter::kMaxChunkSize) {
        return "too much audio per frame";
    }
    try {
        sound.resize(static_cast<std::size_t>(bytes));
    } catch (const std::bad_alloc&) {
        return "out of memory";
    }
    for (std::int64_t i = 0; i < count; ++i) {
        for (int c = 0; c < o.audioChannels; ++c) {
            StoreI16(sound.data() + static_cast<std::size_t>(i) * blockAlign +
                         static_cast<std::size_t>(c) * 2,
                     TestAudioValue(first + i, c));
        }
    }
    if (!writer.WriteAudio(sound.data(), static_cast<std::int32_t>(bytes),
                           static_cast<std::int32_t>(count))) {
        return "cannot write audio";
    }
    return nullptr;
}

// Writes every frame with its audio; why that failed, or null.
const char* WriteSampleFrames(CAviWriter& writer, const SampleAviOptions& o,
                              std::vector<std::uint8_t>& frame, std::uint16_t blockAlign) {
    std::vector<std::uint8_t> sound;
    for (int k = 0; k < o.frames; ++k) {
        FillTestPatternFrame(frame.data(), o.width, o.height, o.bitsPerPixel, k + o.patternOffset);
        if (!writer.WriteVideoFrame(frame.data(), static_cast<std::int32_t>(frame.size()), 1)) {
            return "cannot write a video frame";
        }
        if (o.audio) {
            if (const char* failure = WriteSampleAudio(writer, o, k, blockAlign, sound)) {
                return failure;
            }
        }
    }
    return nullptr;
}

} // namespace

BITMAPINFOHEADER TestPatternFormat(int width, int height, int bitsPerPixel) {
    BITMAPINFOHEADER bih{};
    bih.biSize = kBitmapInfoHeaderSize;
    bih.biWidth = width;
    bih.biHeight = height;
    bih.biPlanes = 1;
    bih.biBitCount = static_cast<std::uint16_t>(bitsPerPixel);
    bih.biCompression = BI_RGB;
    bih.biSizeImage =
        static_cast<std::uint32_t>(TestPatternFrameBytes(width, height, bitsPerPixel));
    return bih;
}

bool WriteSampleAvi(const std::string& path, const SampleAviOptions& options, std::string* error) {
    std::size_t frameBytes = 0;
    if (const char* invalid = CheckSampleOptions(options, &frameBytes)) {
        SetError(error, invalid);
        return false;
    }
    SampleStreams streams;
    MakeSampleStreams(options, frameBytes, streams);
    std::vector<std::uint8_t> frame;
    try {
        frame.resize(frameBytes);
    } catch (const std::bad_alloc&) {
        SetError(error, "out of memory");
        return false;
    }
    CAviWriter writer;
    if (!writer.Create(path.c_str())) {
        SetError(error, "cannot create the file");
        return false;
    }
    const char* failure = SetUpSampleStreams(writer, streams, options.audio)
                              ? WriteSampleFrames(writer, options, frame, streams.blockAlign)
                              : "cannot set up the streams";
    if (failure != nullptr) {
        writer.Close();
        SetError(error, failure);
        return false;
    }
    if (!writer.Close()) {
        SetError(error, "cannot complete the file");
        return false;
    }
    return true;
}

} // namespace kmx
