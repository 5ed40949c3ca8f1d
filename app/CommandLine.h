// The desktop program's command line: "kadrimix [OPTIONS] [FILE...]". A
// project file (".kmx") is loaded, a video file becomes the input; --help and
// --version are answered without a window. Qt's own options (-platform,
// -style, ...) are taken by the application object before this is read.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

struct CommandLine {
    enum class Action { Run, PrintHelp, PrintVersion, Fail };
    Action action = Action::Run;
    std::string project; // absolute path in the file system's encoding, or empty
    std::string input;   // likewise
    QString text;        // the help or version text, or the reason of a failure
};

// Reads the arguments, the program's name first.
CommandLine ParseCommandLine(const QStringList& arguments);
