#include "cli/JsonProgress.h"

#include <nlohmann/json.hpp>

namespace {

constexpr std::chrono::milliseconds kLineGap{250};

} // namespace

CJsonProgress::CJsonProgress(std::FILE* out, std::string input, std::string output)
    : out_(out), input_(std::move(input)), output_(std::move(output)),
      start_(std::chrono::steady_clock::now()), last_(start_) {}

void CJsonProgress::Frame(long frame, long total) {
    frame_ = frame;
    total_ = total;
    Tick();
}

void CJsonProgress::Tick() {
    const auto now = std::chrono::steady_clock::now();
    if (!written_ || now - last_ >= kLineGap) {
        Write("running", nullptr);
    }
}

void CJsonProgress::Finish(const char* state, const std::vector<std::string>& messages) {
    Write(state, &messages);
}

void CJsonProgress::Write(const char* state, const std::vector<std::string>* messages) {
    last_ = std::chrono::steady_clock::now();
    written_ = true;
    const double elapsed = std::chrono::duration<double>(last_ - start_).count();
    const double fps = elapsed > 0 ? static_cast<double>(frame_) / elapsed : 0.0;
    nlohmann::ordered_json line = {{"state", state},     {"input", input_},     {"output", output_},
                                   {"frame", frame_},    {"total", total_},     {"fps", fps},
                                   {"elapsed", elapsed}, {"remaining", nullptr}};
    if (frame_ > 0 && fps > 0 && total_ >= frame_) {
        line["remaining"] = static_cast<double>(total_ - frame_) / fps;
    }
    if (messages != nullptr) {
        line["messages"] = *messages;
    }
    const std::string text =
        line.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}
