// Text from outside the program (file names, option values, names stored in
// files) made safe to print on a terminal: control bytes and escape
// sequences must not reach it raw, or a crafted file name could move the
// cursor, retitle the window or worse.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

// Valid UTF-8 stays as it is, except the control characters (C0, DEL and
// C1), which become \xNN (for C1: \u00NN); bytes that are not valid UTF-8
// become \xNN, and a backslash is doubled so the escapes stay unambiguous.
std::string Printable(std::string_view text);

// Prints one line to out: the text that format makes of the arguments, made
// Printable, then a line end. Every line of the console front end that holds
// text from outside (paths, the engine's messages, names read from files) is
// printed through here.
void PrintLine(std::FILE* out, const char* format, ...) __attribute__((format(printf, 2, 3)));
