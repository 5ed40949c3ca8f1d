// Running kadrimix-cli from the tests, and the inputs ffmpeg makes for them.
#pragma once

#include "tests/media/AviWriterTestSupport.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

inline const std::string kCli = KADRIMIX_CLI_PATH;

struct CliRun {
    int status = -1;
    std::string out, err;
};

inline CliRun Cli(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {kCli};
    argv.insert(argv.end(), args.begin(), args.end());
    CliRun run;
    run.status = RunTool(argv, &run.out, &run.err);
    return run;
}

// `kadrimix-cli convert --quiet ARGS`; a failure is reported with its messages.
inline bool Convert(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {"convert", "--quiet"};
    argv.insert(argv.end(), args.begin(), args.end());
    const CliRun run = Cli(argv);
    EXPECT_EQ(run.status, 0) << run.err;
    return run.status == 0;
}

// ffmpeg's moving test pictures of this size at 25 frames a second, and a
// tone to go with them.
inline std::string TestSource(const std::string& size, const std::string& kind = "testsrc2") {
    return "-f lavfi -i " + kind + "=size=" + size + ":rate=25 ";
}
inline const std::string kTone = "-f lavfi -i sine=frequency=440:sample_rate=44100 ";

// The file ffmpeg writes from the arguments (words before the output name)
// into dir; empty when it fails.
inline std::string MakeInput(const TempDir& dir, const std::string& name, const std::string& args) {
    std::vector<std::string> words = Words(args);
    words.push_back(dir.File(name));
    std::string errors;
    const bool made = avitest::Ffmpeg(words, &errors);
    EXPECT_TRUE(made) << errors;
    return made ? words.back() : std::string();
}
