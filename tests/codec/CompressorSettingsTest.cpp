// The user's settings take effect: the key-frame rate bounds the distance of
// key frames, a higher quality gives larger frames, a data rate steers the
// size, and a restarted sequence starts afresh.
#include "tests/codec/CodecTestSupport.h"

#include "codec/EncoderSettings.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using codectest::Frame;

constexpr int kWidth = 64;
constexpr int kHeight = 48;

std::vector<Frame> MovingFrames(int width, int height, int count) {
    std::vector<Frame> frames;
    for (int i = 0; i < count; ++i) {
        frames.push_back(codectest::MakePatternFrame(width, height, 24, i));
    }
    return frames;
}

std::int64_t TotalSize(const codectest::Encoded& out) {
    std::int64_t total = 0;
    for (const codectest::Sample& s : out.samples) {
        total += static_cast<std::int64_t>(s.data.size());
    }
    return total;
}

std::vector<const kmx::CompressorEntry*> EntriesWith(std::uint32_t capability, bool lossyOnly) {
    std::vector<const kmx::CompressorEntry*> list;
    for (const kmx::CompressorEntry* e : codectest::AvailableEntries(false)) {
        if ((kmx::CompressorCapabilities(*e) & capability) != 0 && !(lossyOnly && e->lossless)) {
            list.push_back(e);
        }
    }
    return list;
}

std::string Name(const testing::TestParamInfo<const kmx::CompressorEntry*>& info) {
    return codectest::EntryName(*info.param);
}

class KeyFrameRate : public testing::TestWithParam<const kmx::CompressorEntry*> {};

TEST_P(KeyFrameRate, KeyFrameAtLeastEveryTenFrames) {
    const kmx::CompressorEntry& entry = *GetParam();
    const std::vector<Frame> frames = MovingFrames(kWidth, kHeight, 32);
    const codectest::Encoded out = codectest::CompressFrames(
        entry.fourcc, codectest::MakeSettings(entry.fourcc, -1, 10), kWidth, kHeight, 24, frames);
    ASSERT_TRUE(out.ok) << out.error;
    ASSERT_TRUE(out.samples.front().key);
    int sinceKey = 0;
    int keys = 0;
    for (std::size_t i = 0; i < out.samples.size(); ++i) {
        if (out.samples[i].key) {
            sinceKey = 0;
            ++keys;
        } else {
            ++sinceKey;
        }
        EXPECT_LT(sinceKey, 10) << "frame " << i;
    }
    // The sequence still has frames that depend on earlier ones.
    EXPECT_LT(keys, static_cast<int>(out.samples.size()));

    // A sample flagged as key frame must decode on its own: a fresh decoder
    // that starts there gives the same pictures as the one that saw it all.
    std::vector<Frame> all;
    ASSERT_TRUE(codectest::DecodeAll(out, 0, out.samples.size(), &all));
    ASSERT_EQ(all.size(), frames.size());
    for (std::size_t k = 1; k < out.samples.size(); ++k) {
        if (!out.samples[k].key) {
            continue;
        }
        const std::size_t end = std::min(out.samples.size(), k + 3);
        std::vector<Frame> fresh;
        ASSERT_TRUE(codectest::DecodeAll(out, k, end, &fresh)) << "key " << k;
        ASSERT_EQ(fresh.size(), end - k) << "key " << k;
        for (std::size_t i = k; i < end; ++i) {
            EXPECT_TRUE(fresh[i - k] == all[i]) << "from key " << k << ", frame " << i;
        }
    }
}

TEST_P(KeyFrameRate, KeyRateOneMakesEveryFrameAKeyFrame) {
    const kmx::CompressorEntry& entry = *GetParam();
    const std::vector<Frame> frames = MovingFrames(kWidth, kHeight, 6);
    const codectest::Encoded out = codectest::CompressFrames(
        entry.fourcc, codectest::MakeSettings(entry.fourcc, -1, 1), kWidth, kHeight, 24, frames);
    ASSERT_TRUE(out.ok) << out.error;
    for (std::size_t i = 0; i < out.samples.size(); ++i) {
        EXPECT_TRUE(out.samples[i].key) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Temporal, KeyFrameRate,
                         testing::ValuesIn(EntriesWith(VIDCF_TEMPORAL, false)), Name);

class Quality : public testing::TestWithParam<const kmx::CompressorEntry*> {};

TEST_P(Quality, HigherQualityGivesLargerFrames) {
    const kmx::CompressorEntry& entry = *GetParam();
    const std::vector<Frame> frames = MovingFrames(kWidth, kHeight, 4);
    const codectest::Encoded low = codectest::CompressFrames(
        entry.fourcc, codectest::MakeSettings(entry.fourcc, 1000), kWidth, kHeight, 24, frames);
    const codectest::Encoded middle = codectest::CompressFrames(
        entry.fourcc, codectest::MakeSettings(entry.fourcc, 5000), kWidth, kHeight, 24, frames);
    const codectest::Encoded high = codectest::CompressFrames(
        entry.fourcc, codectest::MakeSettings(entry.fourcc, 10000), kWidth, kHeight, 24, frames);
    ASSERT_TRUE(low.ok && middle.ok && high.ok);
    EXPECT_LT(TotalSize(low), TotalSize(middle));
    EXPECT_LT(TotalSize(middle), TotalSize(high));
}

INSTANTIATE_TEST_SUITE_P(Lossy, Quality, testing::ValuesIn(EntriesWith(VIDCF_QUALITY, true)), Name);

class DataRate : public testing::TestWithParam<const kmx::CompressorEntry*> {};

TEST_P(DataRate, DataRateSteersTheSize) {
    const kmx::CompressorEntry& entry = *GetParam();
    constexpr int kW = 160;
    constexpr int kH = 120;
    constexpr int kSecond = 25; // frames per second until told otherwise
    const std::vector<Frame> frames = MovingFrames(kW, kH, 2 * kSecond);
    const codectest::Encoded slow = codectest::CompressFrames(
        entry.fourcc, codectest::MakeSettings(entry.fourcc, -1, 0, 5), kW, kH, 24, frames);
    const codectest::Encoded fast = codectest::CompressFrames(
        entry.fourcc, codectest::MakeSettings(entry.fourcc, -1, 0, 20), kW, kH, 24, frames);
    ASSERT_TRUE(slow.ok && fast.ok);
    EXPECT_LT(TotalSize(slow) * 5, TotalSize(fast) * 4);
    // Once rate control has settled (the second second), 20 kilobytes per
    // second stay within a factor of two.
    std::int64_t secondSecond = 0;
    for (int i = kSecond; i < 2 * kSecond; ++i) {
        secondSecond += static_cast<std::int64_t>(fast.samples[i].data.size());
    }
    EXPECT_LT(secondSecond, 2 * 20 * 1024);
    EXPECT_GT(secondSecond, 20 * 1024 / 2);
}

TEST_P(DataRate, FrameRateSharesTheDataRateAmongMoreFrames) {
    const kmx::CompressorEntry& entry = *GetParam();
    constexpr int kW = 160;
    constexpr int kH = 120;
    constexpr int kCount = 50;
    const std::vector<Frame> frames = MovingFrames(kW, kH, kCount);
    // A data rate that gives the frames their size at the default quality at
    // 25 frames per second, so that halving it stays within what the
    // encoder's quantiser range can reach.
    const codectest::Encoded natural = codectest::CompressFrames(
        entry.fourcc, codectest::MakeSettings(entry.fourcc), kW, kH, 24, frames, 25);
    ASSERT_TRUE(natural.ok);
    const auto rate = static_cast<std::int32_t>(
        std::max<std::int64_t>(1, TotalSize(natural) / kCount * 25 / 1024));
    const COMPVARS settings = codectest::MakeSettings(entry.fourcc, -1, 0, rate);
    const codectest::Encoded at25 =
        codectest::CompressFrames(entry.fourcc, settings, kW, kH, 24, frames, 25);
    const codectest::Encoded at50 =
        codectest::CompressFrames(entry.fourcc, settings, kW, kH, 24, frames, 50);
    ASSERT_TRUE(at25.ok && at50.ok);
    // Compared once rate control has settled: the second half.
    std::int64_t size25 = 0;
    std::int64_t size50 = 0;
    for (int i = kCount / 2; i < kCount; ++i) {
        size25 += static_cast<std::int64_t>(at25.samples[i].data.size());
        size50 += static_cast<std::int64_t>(at50.samples[i].data.size());
    }
    EXPECT_LT(size50 * 5, size25 * 4) << "data rate " << rate << " KB/s";
}

INSTANTIATE_TEST_SUITE_P(RateControlled, DataRate,
                         testing::ValuesIn(EntriesWith(VIDCF_CRUNCH, false)), Name);

class Restart : public testing::TestWithParam<const kmx::CompressorEntry*> {};

TEST_P(Restart, ARestartedSequenceGivesTheSameSamples) {
    const kmx::CompressorEntry& entry = *GetParam();
    std::unique_ptr<CCompressor> compressor = CCompressor::Open(ICTYPE_VIDEO, entry.fourcc);
    ASSERT_TRUE(compressor);
    const BITMAPINFOHEADER input = codectest::MakeInputFormat(kWidth, kHeight, 24);
    const COMPVARS settings = codectest::MakeSettings(entry.fourcc, -1, 3);
    const std::vector<Frame> frames = MovingFrames(kWidth, kHeight, 5);
    std::vector<std::vector<std::uint8_t>> runs[2];
    for (auto& run : runs) {
        ASSERT_TRUE(compressor->SeqCompressFrameStart(settings, &input));
        for (const Frame& f : frames) {
            bool key = false;
            std::int32_t size = 0;
            const std::uint8_t* data = compressor->SeqCompressFrame(
                f.data(), static_cast<std::int64_t>(f.size()), &key, &size);
            ASSERT_NE(data, nullptr);
            run.emplace_back(data, data + size);
            if (run.size() == 1) {
                EXPECT_TRUE(key);
            }
        }
        compressor->SeqCompressFrameEnd();
    }
    EXPECT_EQ(runs[0], runs[1]);
}

INSTANTIATE_TEST_SUITE_P(Available, Restart, testing::ValuesIn(codectest::AvailableEntries(true)),
                         Name);

TEST(QualityMapping, CoversTheEncoderScalesInOrder) {
    EXPECT_EQ(kmx::QScaleForQuality(0), 31);
    EXPECT_EQ(kmx::QScaleForQuality(10000), 2);
    EXPECT_EQ(kmx::CrfForQuality(0), 51);
    EXPECT_EQ(kmx::CrfForQuality(10000), 10);
    EXPECT_EQ(kmx::CinepakLambdaForQuality(7500), 256);
    for (int q = 0; q < 10000; q += 250) {
        EXPECT_GE(kmx::QScaleForQuality(q), kmx::QScaleForQuality(q + 250)) << q;
        EXPECT_GE(kmx::CrfForQuality(q), kmx::CrfForQuality(q + 250)) << q;
        EXPECT_GT(kmx::CinepakLambdaForQuality(q), kmx::CinepakLambdaForQuality(q + 250)) << q;
    }
}

TEST(QualityMapping, SettingsRecordIsClamped) {
    COMPVARS cv = codectest::MakeSettings(0, 20000, -5, -7);
    kmx::EncoderSettings s = kmx::SettingsFromCompVars(cv, 30000, 1001);
    EXPECT_EQ(s.quality, 10000);
    EXPECT_EQ(s.keyRate, 0);
    EXPECT_EQ(s.dataRate, 0);
    EXPECT_EQ(s.rate, 30000u);
    EXPECT_EQ(s.scale, 1001u);
    cv.lQ = -3;
    s = kmx::SettingsFromCompVars(cv, 0, 0);
    EXPECT_EQ(s.quality, ICQUALITY_DEFAULT);
    EXPECT_EQ(s.rate, 25u);
    EXPECT_EQ(s.scale, 1u);
}

} // namespace
