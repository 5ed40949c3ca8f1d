// What reaches the terminal from names the program did not choose.
#include "cli/TerminalText.h"
#include "pattern/TestPattern.h"
#include "tests/support/ExternalTools.h"
#include "tests/support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

TEST(TerminalText, ControlBytesAndBrokenUtf8AreEscapedOrdinaryTextIsNot) {
    EXPECT_EQ(Printable("Ferien 2024/Überblick – ä.avi"), "Ferien 2024/Überblick – ä.avi");
    // An escape sequence that would retitle the window, a bell, a newline.
    EXPECT_EQ(Printable("a\x1b]0;x\x07"
                        "b\nc"),
              "a\\x1B]0;x\\x07b\\x0Ac");
    EXPECT_EQ(Printable(std::string("nul\0end", 7)), "nul\\x00end");
    EXPECT_EQ(Printable("del\x7f"), "del\\x7F");
    // C1 controls: raw (a CSI byte for 8-bit terminals) and UTF-8 encoded.
    EXPECT_EQ(Printable("\x9b"
                        "31m"),
              "\\x9B31m");
    EXPECT_EQ(Printable("\xc2\x9b"
                        "31m"),
              "\\u009B31m");
    // Broken UTF-8: a cut sequence, an overlong form, a surrogate.
    EXPECT_EQ(Printable("\xe2\x82"), "\\xE2\\x82");
    EXPECT_EQ(Printable("\xc0\xaf"), "\\xC0\\xAF");
    EXPECT_EQ(Printable("\xed\xa0\x80"), "\\xED\\xA0\\x80");
    // A backslash of the name itself cannot be mistaken for an escape.
    EXPECT_EQ(Printable("a\\x1B"), "a\\\\x1B");
}

TEST(TerminalText, ConversionsPrintFileNamesWithTheirControlBytesEscaped) {
    TempDir dir;
    const kmx::SampleAviOptions base{.width = 64, .height = 48, .frames = 10, .audio = true};
    const kmx::SampleAviOptions overlay{
        .width = 32, .height = 24, .bitsPerPixel = 16, .frames = 10};
    // Names with an escape sequence and a line break; what follows the break
    // must never start a line of its own.
    const std::string oddInput = dir.File("in\x1b]0;x\x07\nput.avi");
    const std::string oddOverlay = dir.File("ov\x1b[31m\nlay.avi");
    const std::string missingOverlay = dir.File("no\x1b[31m\nne.avi");
    const std::string oddFolder = dir.File("demo\x1b[2J\nfolder");
    const char* const tails[] = {"put.avi", "lay.avi", "ne.avi", "folder"};
    std::string error;
    ASSERT_TRUE(kmx::WriteSampleAvi(oddInput, base, &error)) << error;
    ASSERT_TRUE(kmx::WriteSampleAvi(oddOverlay, overlay, &error)) << error;
    const std::string output = dir.File("out.avi");
    const std::string shownMissing = dir.File("no\\x1B[31m\\x0Ane.avi");
    const std::string shownFolder = dir.File("demo\\x1B[2J\\x0Afolder");

    const struct {
        const char* what;
        std::vector<std::string> args;
        int status;
        std::vector<std::string> shown; // each somewhere in what was printed
    } runs[] = {
        {"an input named so, with an overlay that cannot be opened",
         {"convert", "-i", oddInput, "-o", output, "--overlay",
          "1:" + missingOverlay + ":8,8,16,12"},
         1,
         {"FEHLER: Öffne Overlay AVI (" + shownMissing + ")\n", "Converting aborted, duration "}},
        {"an input and an overlay named so, with progress lines",
         {"convert", "-i", oddInput, "-o", output, "--overlay",
          "1:" + oddOverlay + ":8,8,16,12,border=1"},
         0,
         {"100%  frame 10 / 10", "Converting finished, duration "}},
        {"the information of a file named so that is missing",
         {"info", missingOverlay},
         1,
         {"ERROR: Open AVI file: " + shownMissing + "\n"}},
        {"the demo in a folder named so, with the output's information",
         {"demo", oddFolder},
         0,
         {"Sample files: " + shownFolder + "/base.avi, " + shownFolder + "/overlay1.avi, ",
          "Converting finished, duration ", "File: " + shownFolder + "/output.avi\n"}},
    };
    for (const auto& run : runs) {
        SCOPED_TRACE(run.what);
        std::vector<std::string> argv = {KADRIMIX_CLI_PATH};
        argv.insert(argv.end(), run.args.begin(), run.args.end());
        std::string out;
        std::string err;
        EXPECT_EQ(RunTool(argv, &out, &err), run.status) << err;
        const std::string printed = out + err;
        for (const std::string& text : run.shown) {
            EXPECT_NE(printed.find(text), std::string::npos) << text << "\nin:\n" << printed;
        }
        EXPECT_EQ(printed.find('\x1b'), std::string::npos) << printed;
        EXPECT_EQ(printed.find('\x07'), std::string::npos) << printed;
        for (const char* tail : tails) {
            EXPECT_EQ(printed.find(std::string("\n") + tail), std::string::npos) << printed;
        }
    }
}
