// progress_line.h -- the line that shows how far a build has come on a terminal: files done, MB
// read of the files' data, and the rate, rewritten in place with a carriage return.
#pragma once
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

struct BuildProgress {
    uint32_t filesDone, files;
    uint64_t bytesDone, bytes;  // of the source files' data
};

// What the builder calls after every file it has written.
using ProgressReport = std::function<void(const BuildProgress&)>;

class ProgressLine {
public:
    // Seconds on a steady clock; the system's unless a test gives its own.
    using Clock = std::function<double()>;
    explicit ProgressLine(std::FILE* stream, Clock clock = nullptr);
    // Shows the state when the last line is at least `interval` seconds old (the first at once).
    void update(const BuildProgress& progress);
    // Shows the last state once more and ends the line; nothing when no state was reported.
    void finish();
    // The text of the line, without carriage return or line end: "3/10 files, 1.5/4.0 MB, 2.1 MB/s".
    static std::string format(const BuildProgress& progress, double seconds);

    static constexpr double interval = 0.2;

private:
    void show(const char* end);
    std::FILE* stream_;
    Clock clock_;
    double start_, shown_ = -1;
    bool known_ = false;
    size_t width_ = 0;  // of the longest line shown, to blank what a shorter one leaves
    BuildProgress last_{};
};
