// process.cpp -- host processes for the e2e harness.
#include "process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <thread>

namespace e2e {

static std::string readWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

static std::filesystem::path uniqueName(const std::filesystem::path& scratch, const char* suffix) {
    static std::atomic<unsigned> counter{0};
    return scratch / ("process-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + suffix);
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept { *this = std::move(other); }

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        killGroup();
        pid_ = other.pid_;
        outPath_ = std::move(other.outPath_);
        errPath_ = std::move(other.errPath_);
        started_ = other.started_;
        other.pid_ = -1;
    }
    return *this;
}

ChildProcess::~ChildProcess() { killGroup(); }

void ChildProcess::killGroup() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
}

bool ChildProcess::start(const std::vector<std::string>& argv, const std::filesystem::path& scratch) {
    std::filesystem::create_directories(scratch);
    outPath_ = uniqueName(scratch, ".out");
    errPath_ = uniqueName(scratch, ".err");
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    started_ = std::chrono::steady_clock::now();
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);  // nothing outlives a test process that was killed
        int out = open(outPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int err = open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int none = open("/dev/null", O_RDONLY);
        if (out < 0 || err < 0 || none < 0) _exit(127);
        dup2(none, 0);
        dup2(out, 1);
        dup2(err, 2);
        execvp(args[0], args.data());
        _exit(127);
    }
    setpgid(pid, pid);  // also here: the group must exist before anyone kills it
    pid_ = pid;
    return true;
}

ProcessResult ChildProcess::wait(std::chrono::milliseconds timeout) {
    ProcessResult result;
    if (pid_ <= 0) return result;
    auto deadline = started_ + timeout;
    int status = 0;
    for (;;) {
        pid_t ended = waitpid(pid_, &status, WNOHANG);
        if (ended == pid_) break;
        if (std::chrono::steady_clock::now() >= deadline) {
            result.timedOut = true;
            ::kill(-pid_, SIGKILL);
            waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_);
    if (!result.timedOut && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    result.output = readWhole(outPath_);
    result.errors = readWhole(errPath_);
    std::filesystem::remove(outPath_);
    std::filesystem::remove(errPath_);
    return result;
}

ProcessResult runProcess(const std::vector<std::string>& argv, std::chrono::milliseconds timeout,
                         const std::filesystem::path& scratch) {
    ChildProcess child;
    if (!child.start(argv, scratch)) {
        ProcessResult failed;
        failed.errors = "cannot start " + argv.at(0);
        return failed;
    }
    return child.wait(timeout);
}

std::string describe(const ProcessResult& result) {
    std::ostringstream text;
    if (result.timedOut)
        text << "killed after timeout";
    else if (result.signal)
        text << "ended by signal " << result.signal;
    else
        text << "exit code " << result.exitCode;
    text << " after " << result.elapsed.count() << " ms";
    if (!result.output.empty()) text << "\nstdout: " << result.output;
    if (!result.errors.empty()) text << "\nstderr: " << result.errors;
    return text.str();
}

}  // namespace e2e
