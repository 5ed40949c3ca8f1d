#include "app/CommandLine.h"

#include "engine/Product.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

namespace {

const char* const kDescription =
    "Re-encodes videos into AVI, MP4, MOV, MKV or WebM files: backwards, mirrored,\n"
    "with overlays.\n"
    "A project file (.kmx) is loaded as the Load button does; a video file\n"
    "(AVI, MP4, MKV, MOV, WebM, ...) becomes the input as a drop onto the window\n"
    "does. With both, the project comes first and the video replaces its input.\n"
    "Qt's options such as -platform, -style or -reverse are understood too.";

std::string FileName(const QString& path) {
    return QFile::encodeName(QFileInfo(path).absoluteFilePath()).toStdString();
}

CommandLine Failure(const QString& reason) {
    CommandLine line;
    line.action = CommandLine::Action::Fail;
    line.text = reason;
    return line;
}

} // namespace

CommandLine ParseCommandLine(const QStringList& arguments) {
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(kDescription));
    // Our own help and version options: Qt's add --help-all and need the
    // application's name and version set globally.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Print this help and end."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QStringLiteral("Print the program's name and version."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(QStringLiteral("FILE"),
                                 QStringLiteral("A project file (.kmx) and/or a video file."),
                                 QStringLiteral("[FILE...]"));

    const bool parsed = parser.parse(arguments);
    CommandLine line;
    if (parser.isSet(help)) {
        line.action = CommandLine::Action::PrintHelp;
        // Qt names the program by the path it was started with.
        const QString text = parser.helpText();
        const qsizetype options = text.indexOf(QStringLiteral(" [options]"));
        line.text = options < 0 ? text : QStringLiteral("Usage: kadrimix") + text.mid(options);
        return line;
    }
    if (parser.isSet(version)) {
        line.action = CommandLine::Action::PrintVersion;
        line.text = QStringLiteral("%1 %2\n").arg(QLatin1String(kProductName),
                                                  QLatin1String(kProductVersion));
        return line;
    }
    if (!parsed) {
        return Failure(parser.errorText());
    }
    for (const QString& file : parser.positionalArguments()) {
        const bool isProject = file.endsWith(QStringLiteral(".kmx"), Qt::CaseInsensitive);
        std::string& slot = isProject ? line.project : line.input;
        if (!slot.empty()) {
            return Failure(isProject ? QStringLiteral("One project file at most: %1").arg(file)
                                     : QStringLiteral("One video file at most: %1").arg(file));
        }
        slot = FileName(file);
    }
    return line;
}
