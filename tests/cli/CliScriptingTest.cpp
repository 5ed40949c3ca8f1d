// kadrimix-cli for scripts: info as JSON, the bash completion's candidates,
// and batches.
#include "tests/cli/CliTestSupport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <filesystem>
#include <map>
#include <sstream>

namespace {

using Json = nlohmann::json;

TEST(CliScripting, InfoJsonHasEveryKeyForEveryFileAndAnErrorForAnUnreadableOne) {
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string sample = dir.File("a\x1b[2Jb.avi"); // a control byte in the name
    ASSERT_EQ(Cli({"sample", sample, "--size", "64x48", "--frames", "6", "--audio"}).status, 0);
    const std::string plain =
        MakeInput(dir, "plain.mp4",
                  "-f lavfi -i testsrc2=size=64x48:rate=30000/1001 -frames:v 9 -c:v libx264");
    const std::string turned =
        MakeInput(dir, "t.mp4", "-i " + plain + " -c copy -metadata:s:v rotate=180");
    const std::string palette =
        MakeInput(dir, "p.avi", TestSource("64x48") + "-frames:v 3 -pix_fmt pal8 -c:v rawvideo");
    const std::string bad = dir.File("bad.avi");
    ASSERT_TRUE(WriteBytes(bad, std::vector<std::uint8_t>(3000, 0x41)));
    const CliRun run = Cli({"info", "--json", sample, turned, palette, bad});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("a\\u001b[2Jb.avi"), std::string::npos) << run.out;
    const Json files = Json::parse(run.out);
    ASSERT_EQ(files.size(), 4u);

    const std::map<std::string, std::vector<const char*>> keys = {
        {"file", {"path", "container", "usable", "duration", "streams"}},
        {"video",
         {"type", "codec", "fourcc", "width", "height", "frame_rate", "frames",
          "variable_frame_rate", "scan", "rotation"}},
        {"audio", {"type", "codec", "rate", "channels", "samples", "duration"}}};
    for (const Json& file : {files[0], files[1], files[2]}) {
        for (const char* key : keys.at("file")) {
            EXPECT_TRUE(file.contains(key)) << key << " " << file;
        }
        for (const Json& stream : file["streams"]) {
            for (const char* key : keys.at(stream["type"].get<std::string>())) {
                EXPECT_TRUE(stream.contains(key)) << key << " " << stream;
            }
        }
    }
    EXPECT_EQ(files[0]["path"], sample);
    EXPECT_EQ(files[0]["usable"], true);
    EXPECT_DOUBLE_EQ(files[0]["duration"].get<double>(), 0.24);
    const Json& video = files[0]["streams"][0];
    EXPECT_EQ(std::tie(video["width"], video["height"], video["frames"], video["frame_rate"]),
              std::make_tuple(Json(64), Json(48), Json(6), Json("25/1")));
    const Json& audio = files[0]["streams"][1];
    EXPECT_EQ(std::tie(audio["rate"], audio["channels"], audio["samples"]),
              std::make_tuple(Json(44100), Json(2), Json(10584)));
    const Json& mp4 = files[1]["streams"][0];
    EXPECT_EQ(std::tie(mp4["frame_rate"], mp4["rotation"], mp4["scan"], mp4["frames"]),
              std::make_tuple(Json("30000/1001"), Json(180), Json("progressive"), Json(9)));
    EXPECT_EQ(files[2]["usable"], false);
    EXPECT_EQ(files[2]["reason"], "8-bit frames are not supported");
    EXPECT_EQ(files[3]["path"], bad);
    EXPECT_TRUE(files[3]["error"].is_string()) << files[3];
}

// The candidates the bash completion function gives for the words (the
// last one being typed), in dir.
std::vector<std::string> BashCandidates(const TempDir& dir, const std::vector<std::string>& words) {
    std::vector<std::string> argv = {
        "bash",
        "-c",
        "source \"$1\" && cd \"$2\" && shift 2 && COMP_WORDS=(\"$@\") && COMP_CWORD=$(($# - 1)) "
        "&& _kadrimix_cli && printf '%s\\n' \"${COMPREPLY[@]}\"",
        "bash",
        KADRIMIX_BASH_COMPLETION,
        dir.Path().string(),
        kCli};
    argv.insert(argv.end(), words.begin(), words.end());
    std::string out;
    EXPECT_EQ(RunTool(argv, &out), 0);
    std::vector<std::string> lines = Words(out);
    std::sort(lines.begin(), lines.end());
    return lines;
}

TEST(CliScripting, BashCompletionOffersCommandsOptionsValuesAndFilesOfTheKind) {
    TempDir dir;
    for (const char* name : {"a.mp4", "b.kmx", "c.txt", "D.AVI"}) {
        ASSERT_TRUE(WriteBytes(dir.File(name), std::vector<std::uint8_t>(1, 0)));
    }
    std::filesystem::create_directory(dir.File("sub"));
    using Lines = std::vector<std::string>;
    const struct {
        Lines words;
        Lines candidates;
    } cases[] = {
        {{"co"}, {"codecs", "convert"}},
        {{"convert", "--qu"}, {"--quality", "--quiet"}},
        {{"convert", "--format", "m"}, {"mkv", "mov", "mp4"}},
        {{"convert", "--mirror-vertical", "=", "r"}, {"right"}}, // bash splits at '='
        {{"convert", "--mirror-vertical", "="}, {"=left", "=right"}},
        {{"convert", "-i", "a.mp4", ""}, {"D.AVI", "a.mp4", "b.kmx", "sub"}},
        {{"info", "--json", ""}, {"D.AVI", "a.mp4", "sub"}},
        {{"sample", "--bits", ""}, {"16", "24", "32"}},
        {{"demo", ""}, {"sub"}},
        {{"convert", "-o", "c"}, {"c.txt"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BashCandidates(dir, c.words), c.candidates)
            << c.words.front() << " " << c.words.back();
    }
    // --codec offers the compressors as "codecs" lists them.
    Lines listed;
    const CliRun codecs = Cli({"codecs"});
    std::istringstream table(codecs.out);
    for (std::string line; std::getline(table, line);) {
        if (!line.starts_with("FOURCC")) {
            std::string code = line.substr(0, 4);
            code.erase(code.find_last_not_of(' ') + 1);
            listed.push_back(code);
        }
    }
    std::sort(listed.begin(), listed.end());
    EXPECT_TRUE(std::binary_search(listed.begin(), listed.end(), "MJPG"));
    EXPECT_EQ(BashCandidates(dir, {"convert", "--codec", ""}), listed);
}

TEST(CliScripting, ABatchConvertsEveryFileItCanSumsUpAndSkipsCompleteOutputs) {
    TempDir dir;
    const std::vector<std::string> inputs = {dir.File("a.avi"), dir.File("bad.avi"),
                                             dir.File("b.avi")};
    for (const std::string& in : {inputs[0], inputs[2]}) {
        ASSERT_EQ(Cli({"sample", in, "--size", "64x48", "--frames", "6"}).status, 0);
    }
    ASSERT_TRUE(WriteBytes(inputs[1], std::vector<std::uint8_t>(3000, 0x41)));
    const std::string out = dir.File("out");
    std::vector<std::string> args = {"convert", "--output-dir", out,       "--jobs",
                                     "2",       "--reverse",    "--codec", "HFYU"};
    args.insert(args.end(), inputs.begin(), inputs.end());
    const struct {
        const char* summary;
        std::uintmax_t cutTo; // b's output cut to this many bytes before the run; 0: left
    } runs[] = {{"Batch of 3: 2 finished, 0 skipped, 1 failed", 0},
                {"Batch of 3: 0 finished, 2 skipped, 1 failed", 0},
                {"Batch of 3: 1 finished, 1 skipped, 1 failed", 4000}};
    for (const auto& r : runs) {
        if (r.cutTo > 0) {
            std::filesystem::resize_file(out + "/b.avi", r.cutTo);
        }
        const CliRun run = Cli(args);
        if (&r == runs) {
            args.push_back("--skip-existing");
        }
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find(r.summary), std::string::npos) << run.err;
        EXPECT_NE(run.err.find("failed       " + inputs[1] + " -> " + out +
                               "/bad.avi: FEHLER: Öffne Input AVI"),
                  std::string::npos)
            << run.err;
        for (const char* name : {"/a.avi", "/b.avi"}) {
            EXPECT_EQ(avitest::PatternNumbers(out + name), (std::vector<int>{5, 4, 3, 2, 1, 0}));
        }
        EXPECT_FALSE(std::filesystem::exists(out + "/bad.avi"));
    }
}

} // namespace
