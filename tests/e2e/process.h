// process.h -- host processes for the e2e harness: run with a timeout, or start and wait later.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace e2e {

// What a finished (or killed) process left behind.
struct ProcessResult {
    int exitCode = -1;      // the exit status; -1 when killed or ended by a signal
    int signal = 0;         // the signal that ended it, 0 when it exited
    bool timedOut = false;  // true when the harness killed it after the timeout
    std::string output;     // everything it wrote on stdout
    std::string errors;     // everything it wrote on stderr
    std::chrono::milliseconds elapsed{0};
};

// A process started in its own process group, its stdout and stderr going to files in a scratch
// folder (no pipe can fill up while nobody reads it).
class ChildProcess {
public:
    ChildProcess() = default;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ~ChildProcess();  // kills the process group if it still runs

    // Starts argv[0] (searched in PATH) with the arguments; false when it cannot be started.
    bool start(const std::vector<std::string>& argv, const std::filesystem::path& scratch);
    // Waits up to the timeout; on timeout kills the whole process group and says so.
    ProcessResult wait(std::chrono::milliseconds timeout);
    // True while the process has not been waited for.
    bool running() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

private:
    void killGroup();
    pid_t pid_ = -1;
    std::filesystem::path outPath_, errPath_;
    std::chrono::steady_clock::time_point started_;
};

// Runs a program to its end or until the timeout; the scratch folder holds its output files.
ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         const std::filesystem::path& scratch);

// A short description of how a process ended, for assertion messages.
std::string describe(const ProcessResult& result);

}  // namespace e2e
