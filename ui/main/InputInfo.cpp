#include "ui/main/InputInfo.h"

#include "app/StringPrintf.h"
#include "app/TextCatalog.h"
#include "app/TextIds.h"
#include "engine/TextFormatting.h"

std::int64_t StreamFrameWidth(const AVISTREAMINFOA& info) {
    return std::int64_t{info.rcFrame.right} - std::int64_t{info.rcFrame.left};
}

std::int64_t StreamFrameHeight(const AVISTREAMINFOA& info) {
    return std::int64_t{info.rcFrame.bottom} - std::int64_t{info.rcFrame.top};
}

double StreamFrameRate(const AVISTREAMINFOA& info) {
    return static_cast<double>(info.dwRate) / static_cast<double>(info.dwScale);
}

namespace {

std::int32_t ScanTextId(kmx::ScanType scan) {
    switch (scan) {
    case kmx::ScanType::Progressive:
        return txt::kScanProgressive;
    case kmx::ScanType::TopFieldFirst:
        return txt::kScanTopFieldFirst;
    case kmx::ScanType::BottomFieldFirst:
        return txt::kScanBottomFieldFirst;
    case kmx::ScanType::Unknown:
        break;
    }
    return txt::kScanUnknown;
}

} // namespace

InputInfoLines MakeInputInfoLines(const AVISTREAMINFOA& info, const std::string& bitDepth,
                                  std::int32_t frameCount, bool variableRate, kmx::ScanType scan) {
    const double rate = StreamFrameRate(info);
    InputInfoLines lines;
    lines.format = StringPrintf("%s: %lld x %lld x %s (%s)", GetText(txt::kFormat),
                                static_cast<long long>(StreamFrameWidth(info)),
                                static_cast<long long>(StreamFrameHeight(info)), bitDepth.c_str(),
                                FourccToText(info.fccHandler).c_str());
    lines.frames = StringPrintf("\r\n%s: %i  %s/%s.: %6.3f", GetText(txt::kFrames), frameCount,
                                GetText(txt::kFrames), GetText(txt::kSec), rate);
    if (variableRate) {
        lines.frames += StringPrintf(" (%s)", GetText(txt::kVariableFrameRate));
    }
    lines.duration =
        StringPrintf("\r\n%s: %s", GetText(txt::kDuration), FormatTime(frameCount / rate).c_str());
    lines.scan = StringPrintf("\r\n%s: %s", GetText(txt::kScan), GetText(ScanTextId(scan)));
    return lines;
}

QString StaticText(const std::string& text) {
    QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QStringLiteral("\n\r"), QStringLiteral("\n"));
    shown.remove(QLatin1Char('\r'));
    return shown;
}
