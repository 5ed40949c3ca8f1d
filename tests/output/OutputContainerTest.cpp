// MP4, MOV, MKV and WebM outputs judged by ffprobe and ffmpeg: container,
// codec and tag, pixel format and colour description, exact frame rate and
// count, audio beside the video, where the MP4 index sits, the picture
// against the input, refusals that create nothing, and a killed run.
#include "tests/cli/CliTestSupport.h"
#include "tests/support/KilledRun.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

std::string Probe(const std::string& path, const std::string& entries,
                  const std::string& streams = "") {
    std::string out;
    std::vector<std::string> argv = {"ffprobe", "-v", "error"};
    if (!streams.empty()) {
        argv.insert(argv.end(), {"-select_streams", streams});
    }
    argv.insert(argv.end(), {"-show_entries", entries, "-of", "default=nw=1:nk=1", path});
    RunTool(argv, &out);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

double PsnrAgainst(const std::string& output, const std::string& reference) {
    std::string errors;
    RunTool({"ffmpeg", "-v", "info", "-nostats", "-i", output, "-i", reference, "-lavfi",
             "[0:v][1:v]psnr", "-f", "null", "-"},
            nullptr, &errors);
    const std::size_t at = errors.find("average:");
    return at == std::string::npos ? 0 : std::stod(errors.substr(at + 8));
}

// The checksums of the first audio stream's packets' data, as ffmpeg reads
// them (without the side data the demuxer adds).
std::vector<std::string> AudioPacketHashes(const std::string& path) {
    std::string lines;
    RunTool(
        {"ffmpeg", "-v", "error", "-i", path, "-map", "0:a:0", "-c", "copy", "-f", "framemd5", "-"},
        &lines);
    std::vector<std::string> hashes;
    std::istringstream in(lines);
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line);
        std::string field;
        for (int i = 0; i < 6; ++i) {
            std::getline(fields, field, ',');
        }
        if (!line.empty() && line[0] != '#') {
            hashes.push_back(field);
        }
    }
    return hashes;
}

class OutputContainers : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_TOOL("ffprobe");
        // Two seconds at 30000/1001 with a tone: what a phone would make.
        input_ = MakeInput(dir_, "in.mp4",
                           "-f lavfi -i testsrc2=size=320x240:rate=30000/1001:duration=2 " + kTone +
                               "-t 2 -c:v libx264 -pix_fmt yuv420p -c:a aac");
        ASSERT_FALSE(input_.empty());
    }
    TempDir dir_;
    std::string input_;
};

TEST_F(OutputContainers, EachContainerHoldsItsCompressorsAndPlays) {
    struct Case {
        const char* codec;
        const char* file;
        const char* format; // ffprobe's format_name
        const char* video;
        const char* tag; // "" when the container has none
        const char* audio;
        bool yuv420;
        bool reorders;         // B-frames, carried with their time stamps
        const char* container; // as info names it
        const char* summary;   // what the run says it wrote
    };
    const Case cases[] = {
        {"H264", "a.mp4", "mov,mp4,m4a,3gp,3g2,mj2", "h264", "avc1", "aac", true, true, "MP4",
         "MP4 (Video H264, Audio aac)"},
        {"HEVC", "b.mov", "mov,mp4,m4a,3gp,3g2,mj2", "hevc", "hvc1", "aac", true, true,
         "QuickTime / MOV", "MOV (Video HEVC, Audio aac)"},
        {"AV01", "c.mp4", "mov,mp4,m4a,3gp,3g2,mj2", "av1", "av01", "aac", true, false, "MP4",
         "MP4 (Video AV01, Audio aac)"},
        {"VP90", "d.webm", "matroska,webm", "vp9", "", "opus", true, false, "Matroska / WebM",
         "WebM (Video VP90, Audio opus)"},
        {"H264", "g.mkv", "matroska,webm", "h264", "", "aac", true, true, "Matroska / WebM",
         "MKV (Video H264, Audio aac)"},
        {"FFV1", "e.mkv", "matroska,webm", "ffv1", "", "aac", false, false, "Matroska / WebM",
         "MKV (Video FFV1, Audio aac)"},
        {"MJPG", "f.mov", "mov,mp4,m4a,3gp,3g2,mj2", "mjpeg", "jpeg", "aac", false, false,
         "QuickTime / MOV", "MOV (Video MJPG, Audio aac)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string out = dir_.File(c.file);
        const CliRun run = Cli({"convert", "--quiet", "-i", input_, "-o", out, "--codec", c.codec});
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_NE(run.err.find(std::string("Written: ") + c.summary), std::string::npos) << run.err;
        EXPECT_EQ(Probe(out, "format=format_name"), c.format);
        EXPECT_EQ(Probe(out, "stream=codec_name", "v:0"), c.video);
        if (*c.tag != '\0') {
            EXPECT_EQ(Probe(out, "stream=codec_tag_string", "v:0"), c.tag);
        }
        EXPECT_EQ(Probe(out, "stream=r_frame_rate", "v:0"), "30000/1001");
        EXPECT_EQ(ProbeVideoPackets(out), 60);
        EXPECT_EQ(Probe(out, "stream=has_b_frames", "v:0") != "0", c.reorders);
        EXPECT_EQ(Probe(out, "stream=start_time", "v:0"), "0.000000");
        if (c.yuv420) {
            EXPECT_EQ(Probe(out, "stream=pix_fmt", "v:0"), "yuv420p");
            EXPECT_EQ(
                Probe(out, "stream=color_space,color_primaries,color_transfer,color_range", "v:0"),
                "tv\nsmpte170m\nsmpte170m\nsmpte170m");
        }
        EXPECT_EQ(Probe(out, "stream=codec_name", "a:0"), c.audio);
        // A forward run copies the input's AAC packet for packet into MP4,
        // MOV and MKV, the last, shorter one too, and in MP4 and MOV (which
        // keep each stream's length) the sound ends where the input's does.
        if (std::string(c.audio) == "aac") {
            EXPECT_EQ(AudioPacketHashes(out), AudioPacketHashes(input_));
            if (*c.tag != '\0') {
                EXPECT_EQ(ProbeAudioStream(out, "duration"), ProbeAudioStream(input_, "duration"));
            }
        }
        // info names the container and, as ffprobe does, the codecs.
        const std::string info = Cli({"info", out}).out;
        EXPECT_NE(info.find(std::string("Container: ") + c.container), std::string::npos) << info;
        EXPECT_NE(info.find(std::string("video 0: codec ") + c.video + ","), std::string::npos);
        EXPECT_NE(info.find(std::string("audio 0: codec ") + c.audio + ","), std::string::npos);
        // Sound and picture end together, within one frame. The sound starts
        // before 0 by the AAC encoder's delay where no edit list hides it.
        const FfmpegSound sound = DecodeAudioWithFfmpeg(out);
        ASSERT_TRUE(sound.ok) << sound.warnings;
        const double rate = std::stod(ProbeAudioStream(out, "sample_rate"));
        const double channels = std::stod(ProbeAudioStream(out, "channels"));
        EXPECT_NEAR(std::stod(ProbeAudioStream(out, "start_time")) +
                        static_cast<double>(sound.samples.size()) / channels / rate,
                    60 * 1001 / 30000.0, 0.034);
        std::string errors;
        EXPECT_EQ(
            RunTool({"ffmpeg", "-v", "error", "-i", out, "-f", "null", "-"}, nullptr, &errors), 0);
        EXPECT_EQ(errors, "");
        // Against ffmpeg's decoding of the input: the same pictures, once more
        // through the compressor and the colour conversion.
        EXPECT_GT(PsnrAgainst(out, input_), 25.0);
    }
    // A finished MP4 has its index before the media data: it plays at once.
    std::string boxes; // ffprobe names each box it reads, in file order
    RunTool({"ffprobe", "-v", "trace", dir_.File("a.mp4")}, nullptr, &boxes);
    EXPECT_LT(boxes.find("type:'moov' parent:'root'"), boxes.find("type:'mdat' parent:'root'"));
    EXPECT_NE(boxes.find("type:'mdat' parent:'root'"), std::string::npos);
    EXPECT_EQ(boxes.find("type:'moof'"), std::string::npos);
}

// The colour comes back as it went in when ffmpeg decodes the stream by its
// tags: BT.601 up to standard definition, BT.709 above, whether our
// conversion made the YUV from RGB or the input's own pictures went through
// (an HD input that names no matrix being in BT.709, as players take it);
// anamorphic pixels keep their shape.
TEST_F(OutputContainers, ColourTagsMatchTheConversion) {
    const std::string colour = "-f lavfi -i color=c=0xC02040:d=0.4:r=25:s=";
    const struct {
        std::string name;
        std::string args;
        const char* tags;
        const char* aspect = "1:1"; // the pixels' shape, kept from the input
    } cases[] = {
        {"sd.avi", colour + "640x480 -pix_fmt bgr24 -c:v rawvideo", "tv\nsmpte170m"},
        {"hd.avi", colour + "1280x720 -pix_fmt bgr24 -c:v rawvideo", "tv\nbt709"},
        {"hd709.mp4",
         colour + "1280x720 -vf scale=out_color_matrix=bt709 -colorspace bt709 -c:v libx264",
         "tv\nbt709"},
        {"hduntagged.mp4", colour + "1280x720 -vf scale=out_color_matrix=bt709 -c:v libx264",
         "tv\nbt709"},
        {"hd601.mp4",
         colour + "1280x720 -vf scale=out_color_matrix=bt601 -colorspace smpte170m -c:v libx264",
         "tv\nbt709"},
        {"anamorphic.mp4", colour + "720x576 -vf setsar=64/45 -c:v libx264", "tv\nsmpte170m",
         "64:45"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string input = MakeInput(dir_, c.name, c.args);
        const std::string out = dir_.File(c.name + ".mp4");
        ASSERT_TRUE(Convert({"-i", input, "-o", out, "--codec", "H264"}));
        EXPECT_EQ(Probe(out, "stream=color_range,color_space", "v:0"), c.tags);
        EXPECT_EQ(Probe(out, "stream=sample_aspect_ratio", "v:0"), c.aspect);
        std::string rgb;
        RunTool({"ffmpeg", "-v", "error", "-i", out, "-frames:v", "1", "-vf",
                 "scale=in_color_matrix=auto,format=rgb24", "-f", "rawvideo", "-"},
                &rgb);
        ASSERT_GE(rgb.size(), 3u);
        const int expected[] = {0xC0, 0x20, 0x40};
        for (int i = 0; i < 3; ++i) {
            EXPECT_NEAR(static_cast<unsigned char>(rgb[static_cast<std::size_t>(i)]), expected[i],
                        6);
        }
    }
    // Matroska keeps the shape in its own fields.
    const std::string webm = dir_.File("anamorphic.webm");
    ASSERT_TRUE(Convert({"-i", dir_.File("anamorphic.mp4"), "-o", webm, "--codec", "VP90"}));
    EXPECT_EQ(Probe(webm, "stream=sample_aspect_ratio", "v:0"), "64:45");
}

// A data rate asked for is met within 10 % over a 20-second clip, by every
// delivery encoder.
TEST_F(OutputContainers, DataRatesAreMet) {
    const std::string input =
        MakeInput(dir_, "rate.mkv", TestSource("320x240") + "-t 20 -c:v ffv1");
    for (const auto& [codec, file] :
         {std::pair{"H264", "rate.mp4"}, std::pair{"HEVC", "rate.mov"},
          std::pair{"AV01", "rate.webm"}, std::pair{"VP90", "r.webm"}}) {
        SCOPED_TRACE(codec);
        const std::string out = dir_.File(file);
        ASSERT_TRUE(Convert({"-i", input, "-o", out, "--codec", codec, "--datarate", "40"}));
        std::string sizes;
        RunTool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries", "packet=size",
                 "-of", "csv=p=0", out},
                &sizes);
        std::istringstream in(sizes);
        double bytes = 0;
        for (double size = 0; in >> size;) {
            bytes += size;
        }
        EXPECT_NEAR(bytes / 20, 40 * 1024, 40 * 1024 * 0.1);
    }
}

TEST_F(OutputContainers, RefusalsCreateAndReplaceNothing) {
    const std::string kept = dir_.File("kept.webm");
    { std::ofstream(kept) << "keep me"; }
    struct Case {
        std::vector<std::string> args;
        const char* message;
        std::string file;
    };
    const Case cases[] = {
        {{"-o", dir_.File("x.mpg")}, ".avi, .mp4, .m4v, .mov, .mkv, .webm", dir_.File("x.mpg")},
        {{"-o", dir_.File("y.webm"), "--codec", "H264"},
         "it holds AV01, VP90",
         dir_.File("y.webm")},
        {{"-o", kept, "--codec", "MJPG"}, "WebM cannot hold the compressor MJPG", ""},
        {{"-o", dir_.File("z.avi"), "--format", "mp4", "--codec", "FFV1"},
         "MP4 cannot hold",
         dir_.File("z.avi")},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {"convert", "--quiet", "-i", input_};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const CliRun run = Cli(argv);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        if (!c.file.empty()) {
            EXPECT_NE(access(c.file.c_str(), F_OK), 0) << c.file;
        }
    }
    EXPECT_EQ(ReadText(kept), "keep me");
    EXPECT_EQ(Cli({"convert", "-i", input_, "-o", "x.avi", "--format", "ogg"}).status, 2);
}

// Opus goes into WebM and MKV as it came, sample for sample, the encoder's
// delay and padding with it; reversed, it is encoded anew and still just as
// long.
TEST_F(OutputContainers, OpusIsCopiedForwardAndKeepsItsLength) {
    const std::string input =
        MakeInput(dir_, "in.webm",
                  "-f lavfi -i testsrc2=size=160x120:rate=25:duration=2 -f lavfi -i "
                  "sine=f=440:d=2:r=48000 -ac 2 -c:v libvpx-vp9 -deadline realtime -c:a libopus");
    const FfmpegSound original = DecodeAudioWithFfmpeg(input);
    ASSERT_TRUE(original.ok);
    ASSERT_EQ(original.samples.size(), 2u * 2 * 48000);
    for (const char* name : {"copy.webm", "copy.mkv", "reversed.webm"}) {
        SCOPED_TRACE(name);
        const std::string out = dir_.File(name);
        const bool reversed = std::string(name) == "reversed.webm";
        std::vector<std::string> args = {"-i", input, "-o", out, "--codec", "VP90"};
        if (reversed) {
            args.push_back("--reverse");
        }
        ASSERT_TRUE(Convert(args));
        const FfmpegSound sound = DecodeAudioWithFfmpeg(out);
        ASSERT_TRUE(sound.ok) << sound.warnings;
        EXPECT_EQ(Probe(out, "stream=start_pts", "a:0"), Probe(input, "stream=start_pts", "a:0"));
        if (reversed) {
            EXPECT_EQ(sound.samples.size(), original.samples.size());
        } else {
            EXPECT_EQ(AudioPacketHashes(out), AudioPacketHashes(input));
            EXPECT_TRUE(sound.samples == original.samples);
        }
    }
}

// A run killed by SIGKILL leaves an MP4 that plays, holding the frames it
// reported written less at most one second.
TEST_F(OutputContainers, KilledRunLeavesAPlayableFile) {
    const std::string input =
        MakeInput(dir_, "long.mkv", TestSource("320x240") + "-t 20 -c:v ffv1");
    const std::string out = dir_.File("killed.mp4");
    const long reported = KillAtFrame(
        kCli, {"convert", "-i", input, "-o", out, "--codec", "H264", "--threads", "1"}, 300);
    ASSERT_GE(reported, 300);
    const int frames = ProbeVideoPackets(out);
    EXPECT_GE(frames, reported - 25);
    std::string errors;
    EXPECT_EQ(RunTool({"ffmpeg", "-v", "error", "-i", out, "-f", "null", "-"}, nullptr, &errors),
              0);
}

// A real browser plays what people share: Chromium, headless, loads each
// MP4 and WebM of a reversed run in a <video> element and draws its first
// picture; the pictures are the input's backwards.
TEST_F(OutputContainers, ChromiumPlaysMp4AndWebm) {
    REQUIRE_TOOL("chromium");
    const std::string page = dir_.File("play.html");
    std::ofstream(page) << R"(<!doctype html><pre id="result">pending</pre>
<video id="v" muted preload="auto"></video><canvas id="c"></canvas><script>
const v = document.getElementById('v'), r = document.getElementById('result');
v.onerror = () => { r.textContent = 'error ' + (v.error ? v.error.code : ''); };
v.onloadeddata = () => {
  const c = document.getElementById('c'); c.width = v.videoWidth; c.height = v.videoHeight;
  const g = c.getContext('2d'); g.drawImage(v, 0, 0);
  const d = g.getImageData(0, 0, c.width, c.height).data; let sum = 0;
  for (let i = 0; i < d.length; i += 4) sum += d[i] + d[i + 1] + d[i + 2];
  r.textContent = 'played ' + v.duration.toFixed(2) + ' ' + v.videoWidth + 'x' + v.videoHeight +
                  ' ' + Math.round(sum / (d.length / 4 * 3));
};
v.src = location.hash.substring(1);
</script>)";
    for (const auto& [codec, file] :
         {std::pair{"H264", "web.mp4"}, std::pair{"VP90", "web.webm"}}) {
        SCOPED_TRACE(file);
        const std::string out = dir_.File(file);
        ASSERT_TRUE(Convert({"-i", input_, "-o", out, "--codec", codec, "--reverse"}));
        std::string dom;
        RunTool({"chromium", "--headless", "--no-sandbox", "--disable-gpu-compositing",
                 "--disable-accelerated-2d-canvas", "--disable-accelerated-video-decode",
                 "--disable-web-security", "--allow-file-access-from-files",
                 "--virtual-time-budget=10000", "--dump-dom", "file://" + page + "#file://" + out},
                &dom);
        const std::size_t at = dom.find("<pre id=\"result\">");
        ASSERT_NE(at, std::string::npos) << dom;
        char duration[16] = {};
        int width = 0;
        int height = 0;
        int mean = 0;
        ASSERT_EQ(std::sscanf(dom.c_str() + at + 17, "played %15s %dx%d %d", duration, &width,
                              &height, &mean),
                  4)
            << dom.substr(at, 80);
        EXPECT_NEAR(std::stod(duration), 2.0, 0.05);
        EXPECT_EQ(width, 320);
        EXPECT_EQ(height, 240);
        EXPECT_GT(mean, 20); // a picture, not a black frame
    }
}

// AVI stays our own writer's, byte for byte: these jobs gave these files
// before the writer moved behind the media sink.
TEST(AviOutput, KeepsItsBytes) {
    REQUIRE_TOOL("md5sum");
    TempDir dir;
    const std::string base = dir.File("base.avi");
    const std::string overlay = dir.File("ov.avi");
    ASSERT_EQ(Cli({"sample", base, "--size", "176x144", "--frames", "30", "--audio"}).status, 0);
    ASSERT_EQ(Cli({"sample", overlay, "--size", "64x48", "--frames", "20", "--bits", "16"}).status,
              0);
    const struct {
        std::vector<std::string> args;
        const char* md5;
    } cases[] = {
        {{}, "e30cdcb15581c2d4de5707e484770ccb"},
        {{"--reverse", "--mirror-horizontal"}, "745567325266c13471a997aa4e82cd22"},
        {{"--codec", "MJPG", "--mirror-vertical=left", "--overlay",
          "1:" + overlay + ":10,10,40,30,border=2"},
         "be135787f54e5fc43dab1b5b845aacf6"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"-i", base, "-o", dir.File("out.avi")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        ASSERT_TRUE(Convert(args));
        std::string sum;
        RunTool({"md5sum", dir.File("out.avi")}, &sum);
        EXPECT_EQ(sum.substr(0, 32), c.md5);
    }
}

} // namespace
