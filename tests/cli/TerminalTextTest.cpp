// What reaches the terminal from names the program did not choose.
#include "cli/TerminalText.h"

#include <gtest/gtest.h>

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
