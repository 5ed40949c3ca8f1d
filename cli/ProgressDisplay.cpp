#include "cli/ProgressDisplay.h"
#include "cli/TerminalText.h"

#include "engine/TextFormatting.h"

#include <unistd.h>

CProgressDisplay::CProgressDisplay(std::FILE* out)
    : out_(out), terminal_(isatty(fileno(out)) != 0), start_(std::chrono::steady_clock::now()) {}

std::string CProgressDisplay::Line(long frame, long total) const {
    constexpr int kWidth = 30;
    const double fraction =
        total > 0 ? static_cast<double>(frame) / static_cast<double>(total) : 0.0;
    const int filled = static_cast<int>(fraction * kWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kWidth, '.');
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    char text[160];
    if (frame > 0 && elapsed > 0.2) {
        const double rate = static_cast<double>(frame) / elapsed;
        const double remaining = static_cast<double>(total - frame) / rate;
        // Whole seconds are enough for the rate and the remaining time.
        std::string left = FormatTime(static_cast<double>(static_cast<long>(remaining)));
        left.resize(left.size() - 4); // drop ",mmm"
        std::snprintf(text, sizeof text, "[%s] %3d%%  frame %ld / %ld  %.1f fps  %s left",
                      bar.c_str(), static_cast<int>(fraction * 100.0), frame, total, rate,
                      left.c_str());
    } else {
        std::snprintf(text, sizeof text, "[%s] %3d%%  frame %ld / %ld", bar.c_str(),
                      static_cast<int>(fraction * 100.0), frame, total);
    }
    return text;
}

void CProgressDisplay::Frame(long frame, long total) {
    if (terminal_) {
        // The line's text is made Printable as every other line; the carriage
        // return and the erase to the line's end around it are the display's own.
        const std::string line = Printable(Line(frame, total));
        if (line != shown_) {
            std::fprintf(out_, "\r%s\033[K", line.c_str());
            std::fflush(out_);
            shown_ = line;
            lineOpen_ = true;
        }
        return;
    }
    const long tenth = total > 0 ? (frame * 10) / total : 0;
    if (tenth != lastTenth_) {
        lastTenth_ = tenth;
        PrintLine(out_, "%s", Line(frame, total).c_str());
        std::fflush(out_);
    }
}

void CProgressDisplay::Break() {
    if (lineOpen_) {
        std::fputc('\n', out_);
        lineOpen_ = false;
        shown_.clear();
    }
}
