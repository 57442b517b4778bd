// wine_session.cpp -- one Wine prefix per e2e test process, and the helpers that act inside it.
#include "wine_session.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "e2e_config.h"

namespace e2e {

namespace fs = std::filesystem;

static const auto driverMargin = 10s;  // the driver ends a program itself; this is the host's margin

// A time limit as this machine needs it: limits are written for a machine that runs 32-bit code
// itself and grow under emulation (see config::timeScale).
using config::scaled;
static std::string scaledCount(std::chrono::milliseconds limit) { return std::to_string(scaled(limit).count()); }

WineSession& WineSession::current() {
    static WineSession session;
    return session;
}

static void require(const ProcessResult& result, const std::string& what) {
    if (result.timedOut || result.exitCode != 0) throw std::runtime_error(what + ": " + describe(result));
}

void WineSession::open(Display display) {
    auto begin = std::chrono::steady_clock::now();
    std::string pattern = (fs::temp_directory_path() / "velkorin-e2e.XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
    root_ = pattern;
    prefix_ = root_ / "prefix";
    scratch_ = root_ / "scratch";
    fs::create_directories(scratch_);

    fs::path wineTemplate = fs::absolute(config::wineTemplate());
    require(runProcess({(config::wineScripts() / "prepare-template.sh").string(), wineTemplate.string()}, scaled(300s),
                       scratch_), "prepare-template.sh");
    require(runProcess({"cp", "-a", (wineTemplate / ".").string(), prefix_.string()}, scaled(120s), scratch_),
            "copying the template prefix");
    setenv("WINEPREFIX", prefix_.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "winemenubuilder.exe=d;mscoree=d;mshtml=d", 1);
    if (display == Display::xvfb) startDisplay();
    else unsetenv("DISPLAY");
    // The server stays while the tests run; should this process die, it ends a minute later.
    require(runProcess({"wineserver", "-p60"}, scaled(30s), scratch_), "wineserver -p");
    setRegistryText("HKCU\\Software\\Wine\\Drivers", "Graphics", display == Display::xvfb ? "x11" : "null");
    openSeconds_ = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
}

void WineSession::close() {
    if (root_.empty()) return;
    resident_.stop();
    runProcess({"wineserver", "-k"}, scaled(30s), scratch_);
    runProcess({"wineserver", "-w"}, scaled(30s), scratch_);
    stopDisplay();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
    root_.clear();
}

// Xvfb picks a free display number itself and writes it to the descriptor given by -displayfd.
void WineSession::startDisplay() {
    int channel[2];
    if (pipe(channel) != 0) throw std::runtime_error("pipe");
    pid_t pid = fork();
    if (pid == 0) {
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::close(channel[0]);
        std::string fd = std::to_string(channel[1]);
        freopen("/dev/null", "w", stdout);
        freopen((scratch_ / "xvfb.log").c_str(), "w", stderr);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(channel[1]);
    displayPid_ = pid;
    std::string number;
    pollfd wait = {channel[0], POLLIN, 0};
    char c = 0;
    while (poll(&wait, 1, 20000) > 0 && read(channel[0], &c, 1) == 1 && c != '\n') number += c;
    ::close(channel[0]);
    if (number.empty()) throw std::runtime_error("Xvfb did not start (see " + (scratch_ / "xvfb.log").string() + ")");
    displayNumber_ = std::stoi(number);
    setenv("DISPLAY", (":" + number).c_str(), 1);
}

void WineSession::stopDisplay() {
    if (displayPid_ <= 0) return;
    kill(displayPid_, SIGTERM);
    int status = 0;
    waitpid(displayPid_, &status, 0);
    displayPid_ = -1;
    displayNumber_ = -1;
}

fs::path WineSession::hostPath(const std::string& windowsPath) const {
    if (windowsPath.size() < 2 || (windowsPath[0] != 'C' && windowsPath[0] != 'c') || windowsPath[1] != ':')
        throw std::invalid_argument("not a path on drive C: " + windowsPath);
    fs::path path = prefix_ / "drive_c";
    std::istringstream parts(windowsPath.substr(2));
    std::string part;
    while (std::getline(parts, part, '\\'))
        if (!part.empty()) path /= part;
    return path;
}

std::string WineSession::windowsPathOf(const fs::path& hostFile) {
    std::string path = "Z:" + fs::absolute(hostFile).string();
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

fs::path WineSession::artifactFolder() const {
    fs::path folder = config::artifacts();
    fs::create_directories(folder);
    return folder;
}

ProcessResult WineSession::wine(const std::vector<std::string>& args, std::chrono::milliseconds timeout) {
    std::vector<std::string> argv = {"wine"};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, scaled(timeout), scratch_);
}

ProcessResult WineSession::driver(const std::vector<std::string>& commands, std::chrono::milliseconds timeout) {
    bool ownProcess = std::find_if(commands.begin(), commands.end(), [](const std::string& command) {
                          return command == "setenv" || command == "chdir";
                      }) != commands.end();
    if (!ownProcess) return resident_.request(config::driver(), commands, scaled(timeout), scratch_);
    std::vector<std::string> args = {config::driver().string()};
    args.insert(args.end(), commands.begin(), commands.end());
    return wine(args, timeout);
}

std::optional<DialogDump> WineSession::waitDialog(const std::string& caption, std::chrono::milliseconds timeout) {
    ProcessResult result = driver({"wait-dialog", caption, scaledCount(timeout), "dump"}, timeout + driverMargin);
    if (result.exitCode != 0) return std::nullopt;
    return parseDialogDump(result.output);
}

std::optional<DialogDump> WineSession::waitBox(const std::string& caption, std::chrono::milliseconds timeout) {
    ProcessResult result = driver({"wait-box", caption, scaledCount(timeout), "dump"}, scaled(timeout) + driverMargin);
    if (result.exitCode != 0) return std::nullopt;
    return parseDialogDump(result.output);
}

WindowsRun WineSession::runThroughDriver(const std::string& program, const std::vector<std::string>& args,
                                         const char* waitCommand, std::chrono::milliseconds timeout) {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessResult result = driver({"launch", windowsCommandLine(argv), waitCommand, scaledCount(timeout)},
                                  timeout + driverMargin);
    return parseRun(result);
}

WindowsRun WineSession::run(const std::string& program, const std::vector<std::string>& args,
                            std::chrono::milliseconds timeout) {
    return runThroughDriver(program, args, "wait-exit", timeout);
}

WindowsRun WineSession::runWatched(const std::string& program, const std::vector<std::string>& args,
                                   std::chrono::milliseconds timeout) {
    return runThroughDriver(program, args, "watch", timeout);
}

BackgroundRun WineSession::start(const std::string& program, const std::vector<std::string>& args,
                                 std::chrono::milliseconds timeout) {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    ChildProcess child;
    child.start({"wine", config::driver().string(), "launch", windowsCommandLine(argv), "wait-exit",
                 scaledCount(timeout)},
                scratch_);
    return BackgroundRun(std::move(child));
}

BackgroundRun WineSession::startWithEnvironment(const std::string& program, const std::vector<std::string>& args,
                                                const std::vector<std::pair<std::string, std::string>>& environment,
                                                std::chrono::milliseconds timeout) {
    std::vector<std::string> argv = {program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> commands = {"wine", config::driver().string()};
    for (const auto& [name, value] : environment) commands.insert(commands.end(), {"setenv", name, value});
    commands.insert(commands.end(), {"launch", windowsCommandLine(argv), "wait-exit", scaledCount(timeout)});
    ChildProcess child;
    child.start(commands, scratch_);
    return BackgroundRun(std::move(child));
}

WindowsRun BackgroundRun::wait(std::chrono::milliseconds timeout) { return parseRun(child_.wait(scaled(timeout + driverMargin))); }

void WineSession::copyIn(const fs::path& hostFile, const std::string& windowsPath) {
    fs::path target = hostPath(windowsPath);
    fs::create_directories(target.parent_path());
    fs::copy_file(hostFile, target, fs::copy_options::overwrite_existing);
}

void WineSession::writeFile(const std::string& windowsPath, const std::vector<unsigned char>& bytes) {
    fs::path target = hostPath(windowsPath);
    fs::create_directories(target.parent_path());
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + target.string());
}

std::optional<std::vector<unsigned char>> WineSession::readFile(const std::string& windowsPath) const {
    std::ifstream in(hostPath(windowsPath), std::ios::binary);
    if (!in) return std::nullopt;
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The driver prints "value<TAB>TYPE<TAB>DATA", the data as `reg query` shows it.
std::optional<RegistryValue> WineSession::registryValue(const std::string& key, const std::string& name) {
    ProcessResult result = driver({"reg-query", key, name});
    if (result.exitCode != 0) return std::nullopt;
    std::istringstream lines(result.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields = splitTabs(line, 3);
        if (fields.size() == 3 && fields[0] == "value") return RegistryValue{fields[1], unescape(fields[2])};
    }
    return std::nullopt;
}

void WineSession::setRegistryText(const std::string& key, const std::string& name, const std::string& text) {
    require(driver({"reg-set", key, name, "sz", text}), "setting " + key + " " + name);
}

void WineSession::setRegistryNumber(const std::string& key, const std::string& name, unsigned long number) {
    require(driver({"reg-set", key, name, "dword", std::to_string(number)}), "setting " + key + " " + name);
}

void WineSession::createRegistryKey(const std::string& key) {
    require(driver({"reg-create", key}), "creating " + key);
}

// All in one request: deleting what is not there is no failure for the driver.
void WineSession::deleteRegistry(const std::vector<std::string>& keys,
                                 const std::vector<std::pair<std::string, std::string>>& values) {
    std::vector<std::string> commands;
    for (const std::string& key : keys) commands.insert(commands.end(), {"reg-delete", key});
    for (const auto& [key, name] : values) commands.insert(commands.end(), {"reg-delete-value", key, name});
    if (!commands.empty()) require(driver(commands), "deleting registry entries");
}

void WineSession::setWindowsVersion(const std::string& version) {
    setRegistryText("HKCU\\Software\\Wine", "Version", version);
}

fs::path WineSession::screenshot(const std::string& label) {
    if (displayNumber_ < 0) return {};
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = test ? std::string(test->test_suite_name()) + "." + test->name() : "session";
    if (!label.empty()) name += "-" + label;
    for (char& c : name)
        if (c == '/') c = '_';  // parameterised tests have slashes in their names
    fs::path picture = artifactFolder() / (name + ".png");
    ProcessResult result = runProcess(
        {"import", "-display", ":" + std::to_string(displayNumber_), "-window", "root", picture.string()}, 30s,
        scratch_);
    return result.exitCode == 0 ? picture : fs::path();
}

std::string windowsCommandLine(const std::vector<std::string>& argv) {
    std::string line;
    for (const std::string& arg : argv) {
        if (!line.empty()) line += ' ';
        if (!arg.empty() && arg.find_first_of(" \t\"") == std::string::npos) {
            line += arg;
            continue;
        }
        line += '"';
        size_t backslashes = 0;
        for (char c : arg) {
            if (c == '\\') { ++backslashes; line += c; continue; }
            if (c == '"') line.append(backslashes + 1, '\\');
            backslashes = 0;
            line += c;
        }
        line.append(backslashes, '\\');
        line += '"';
    }
    return line;
}

WindowsRun parseRun(const ProcessResult& driver) {
    WindowsRun run;
    run.driver = driver;
    std::istringstream lines(driver.output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields = splitTabs(line, 4);
        if (fields[0] == "exit" && fields.size() == 2) {
            run.ended = true;
            run.exitCode = std::stoul(fields[1]);
        } else if (fields[0] == "window" && fields.size() == 4) {
            run.windows.push_back(fields[2] + "\t" + unescape(fields[3]));
        }
    }
    return run;
}

}  // namespace e2e
