// resident_driver.cpp -- the driver kept running, spoken to through two pipes.
#include "resident_driver.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "dialog_dump.h"

extern char** environ;

namespace e2e {

namespace {
const char answerEnd[] = "\x1e" "end\t";

// Waits for the process without blocking longer than the limit; true when it has ended.
bool reaped(pid_t pid, std::chrono::milliseconds limit) {
    auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
        int status = 0;
        pid_t done = waitpid(pid, &status, WNOHANG);
        if (done == pid || (done < 0 && errno == ECHILD)) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        usleep(10000);
    }
}
}  // namespace

std::string requestLine(const std::vector<std::string>& commands) {
    std::string line;
    for (size_t i = 0; i < commands.size(); ++i) {
        if (i) line += '\t';
        for (char c : commands[i]) {
            switch (c) {
            case '\\': line += "\\\\"; break;
            case '\t': line += "\\t"; break;
            case '\n': line += "\\n"; break;
            case '\r': line += "\\r"; break;
            default: line += c;
            }
        }
    }
    return line + "\n";
}

std::string environmentFingerprint() {
    std::vector<std::string> entries;
    for (char** at = environ; *at; ++at) entries.emplace_back(*at);
    std::sort(entries.begin(), entries.end());
    std::string all;
    for (const std::string& entry : entries) all += entry + '\n';
    return all;
}

bool ResidentDriver::start(const std::filesystem::path& driverExe, const std::filesystem::path& scratch) {
    int input[2], output[2];
    if (pipe2(input, O_CLOEXEC) != 0) return false;
    if (pipe2(output, O_CLOEXEC) != 0) {
        close(input[0]);
        close(input[1]);
        return false;
    }
    std::string errors = (scratch / "resident-driver.log").string();
    pid_t pid = fork();
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(input[0], 0);
        dup2(output[1], 1);
        int log = open(errors.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
        if (log >= 0) dup2(log, 2);
        if (chdir(scratch.c_str()) != 0) _exit(127);
        execlp("wine", "wine", driverExe.c_str(), "serve", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(input[0]);
    close(output[1]);
    if (pid < 0) {
        close(input[1]);
        close(output[0]);
        return false;
    }
    // A driver that ended leaves a closed pipe: writing to it must fail, not end this process.
    signal(SIGPIPE, SIG_IGN);
    pid_ = pid;
    toDriver_ = input[1];
    fromDriver_ = output[0];
    environment_ = environmentFingerprint();
    unread_.clear();
    ++starts_;
    return true;
}

void ResidentDriver::kill() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);
    ::kill(pid_, SIGKILL);
    reaped(pid_, std::chrono::seconds(10));
    close(toDriver_);
    close(fromDriver_);
    pid_ = -1;
    toDriver_ = fromDriver_ = -1;
}

void ResidentDriver::stop() {
    if (pid_ <= 0) return;
    close(toDriver_);
    toDriver_ = -1;
    if (!reaped(pid_, std::chrono::seconds(20))) {
        ::kill(-pid_, SIGKILL);
        reaped(pid_, std::chrono::seconds(10));
    }
    close(fromDriver_);
    fromDriver_ = -1;
    pid_ = -1;
}

ProcessResult ResidentDriver::request(const std::filesystem::path& driverExe, const std::vector<std::string>& commands,
                                      std::chrono::milliseconds timeout, const std::filesystem::path& scratch) {
    auto begin = std::chrono::steady_clock::now();
    ProcessResult result;
    if (pid_ > 0 && environment_ != environmentFingerprint()) stop();
    if (pid_ <= 0 && !start(driverExe, scratch)) {
        result.errors = "cannot start the resident driver";
        return result;
    }
    std::string line = requestLine(commands);
    for (size_t written = 0; written < line.size();) {
        ssize_t count = write(toDriver_, line.data() + written, line.size() - written);
        if (count <= 0) {
            kill();
            result.errors = "the resident driver has ended";
            return result;
        }
        written += static_cast<size_t>(count);
    }
    auto until = begin + timeout;
    std::string& text = unread_;
    for (;;) {
        size_t end = text.find(answerEnd);
        size_t lineEnd = end == std::string::npos ? end : text.find('\n', end);
        if (lineEnd != std::string::npos) {
            std::vector<std::string> fields = splitTabs(text.substr(end, lineEnd - end), 3);
            result.output = text.substr(0, end);
            result.exitCode = fields.size() > 1 ? std::stoi(fields[1]) : -1;
            if (fields.size() > 2) {
                result.errors = unescape(fields[2]);
                if (!result.errors.empty() && result.errors.back() == '\r') result.errors.pop_back();
            }
            text.erase(0, lineEnd + 1);
            break;
        }
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - std::chrono::steady_clock::now());
        pollfd wait = {fromDriver_, POLLIN, 0};
        int ready = left.count() > 0 ? poll(&wait, 1, static_cast<int>(std::min<long long>(left.count(), 1000))) : 0;
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0 && left.count() > 0) continue;
        char buffer[65536];
        ssize_t count = ready > 0 ? read(fromDriver_, buffer, sizeof buffer) : -1;
        if (count > 0) {
            text.append(buffer, static_cast<size_t>(count));
            continue;
        }
        // Out of time, or the driver is gone: what it said so far is the answer.
        result.timedOut = ready == 0;
        result.output = text;
        result.errors = ready == 0 ? "" : "the resident driver has ended";
        text.clear();
        kill();
        break;
    }
    result.elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin);
    return result;
}

}  // namespace e2e
