#include "ui/overlay/VideoFileTypes.h"

namespace {

constexpr const char* kSuffixes[] = {"avi", "mp4",  "m4v", "mov", "mkv", "webm",
                                     "mpg", "mpeg", "ts",  "flv", "wmv"};

QString Patterns() {
    return QStringLiteral("*.") + VideoFileSuffixes().join(QStringLiteral(" *."));
}

} // namespace

QStringList VideoFileSuffixes() {
    QStringList suffixes;
    for (const char* suffix : kSuffixes) {
        suffixes.append(QLatin1String(suffix));
    }
    return suffixes;
}

std::string VideoOpenFilter() {
    const std::string patterns = Patterns().toStdString();
    return "Video files (" + patterns + ")|" + patterns + "|AVI files (*.avi)|*.avi|All files|*||";
}

QStringList VideoOpenNameFilters() {
    return {QStringLiteral("Video files (") + Patterns() + QLatin1Char(')'),
            QStringLiteral("AVI files (*.avi)"), QStringLiteral("All files (*)")};
}

bool IsVideoFileSuffix(const QString& suffix) {
    for (const char* known : kSuffixes) {
        if (suffix.compare(QLatin1String(known), Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}
