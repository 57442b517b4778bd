// progress_line.cpp -- formatting and throttling of the build's progress line.
#include "progress_line.h"

#include <chrono>

namespace {

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

}  // namespace

ProgressLine::ProgressLine(std::FILE* stream, Clock clock)
    : stream_(stream), clock_(clock ? std::move(clock) : Clock(steadySeconds)), start_(clock_()) {}

std::string ProgressLine::format(const BuildProgress& p, double seconds) {
    const double mb = 1e6;
    char text[160];
    int length = std::snprintf(text, sizeof text, "%u/%u files, %.1f/%.1f MB", p.filesDone, p.files,
                               static_cast<double>(p.bytesDone) / mb, static_cast<double>(p.bytes) / mb);
    std::string line(text, length > 0 ? static_cast<size_t>(length) : 0);
    if (seconds > 0) {
        std::snprintf(text, sizeof text, ", %.1f MB/s", static_cast<double>(p.bytesDone) / mb / seconds);
        line += text;
    }
    return line;
}

void ProgressLine::show(const char* end) {
    std::string line = format(last_, clock_() - start_);
    if (line.size() > width_) width_ = line.size();
    std::fprintf(stream_, "\r%-*s%s", static_cast<int>(width_), line.c_str(), end);
    std::fflush(stream_);
}

void ProgressLine::update(const BuildProgress& progress) {
    last_ = progress;
    known_ = true;
    double now = clock_();
    if (shown_ >= 0 && now - shown_ < interval) return;
    shown_ = now;
    show("");
}

void ProgressLine::finish() {
    if (!known_) return;
    show("\n");
    known_ = false;
}
