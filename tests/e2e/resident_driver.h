// resident_driver.h -- one velkorin-driver.exe that stays running for a test process and takes
// its requests through a pipe (`velkorin-driver.exe serve`). Every Wine start costs about a
// second under emulation; a wizard walked page by page makes dozens of requests.
#pragma once
#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "process.h"

namespace e2e {

class ResidentDriver {
public:
    ResidentDriver() = default;
    ResidentDriver(const ResidentDriver&) = delete;
    ResidentDriver& operator=(const ResidentDriver&) = delete;
    ~ResidentDriver() { stop(); }

    // Runs the commands as one request and returns what a driver process of its own would have
    // left: its output, its failure messages as errors, its exit code. The driver is started on
    // the first request, and again whenever the environment has changed since it started (the
    // programs it launches inherit its environment; the locale sets its code page). After a
    // timeout the driver is killed (with what it launched) and the result says timedOut.
    ProcessResult request(const std::filesystem::path& driverExe, const std::vector<std::string>& commands,
                          std::chrono::milliseconds timeout, const std::filesystem::path& scratch);
    // Ends the driver: its input closes, it finishes and exits; killed if it does not.
    void stop();
    // Driver processes started so far (a test of the harness checks the restarts).
    int starts() const { return starts_; }

private:
    bool start(const std::filesystem::path& driverExe, const std::filesystem::path& scratch);
    void kill();
    pid_t pid_ = -1;
    int toDriver_ = -1, fromDriver_ = -1;
    std::string environment_;  // the environment the running driver was started with
    std::string unread_;       // output read past the end of the last answer
    int starts_ = 0;
};

// The request line for these commands: tab-separated, each escaped as the driver's output is.
std::string requestLine(const std::vector<std::string>& commands);
// The process's whole environment, sorted, as one text (to notice a change).
std::string environmentFingerprint();

}  // namespace e2e
