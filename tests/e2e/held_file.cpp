// held_file.cpp -- the ready/release handshake with the Win32 test program's file holder.
#include "held_file.h"

#include <cstdlib>
#include <filesystem>
#include <thread>

#include "e2e_config.h"

namespace e2e {

namespace fs = std::filesystem;

HeldFile::HeldFile(WineSession& wine, const std::string& windowsPath, std::chrono::milliseconds longest,
                   bool letsDelete)
    : wine_(wine), longest_(longest) {
    static int count = 0;
    std::string tag = std::to_string(++count);
    readyMarker_ = "C:\\held-file-ready-" + tag;
    releaseMarker_ = "C:\\held-file-release-" + tag;
    auto limit = longest_ * config::timeScale();
    setenv("VELKORIN_HOLD_FILE", windowsPath.c_str(), 1);
    setenv("VELKORIN_HOLD_READY", readyMarker_.c_str(), 1);
    setenv("VELKORIN_HOLD_RELEASE", releaseMarker_.c_str(), 1);
    setenv("VELKORIN_HOLD_MS", std::to_string(limit.count()).c_str(), 1);
    setenv("VELKORIN_HOLD_SHARE_DELETE", letsDelete ? "1" : "0", 1);
    holder_.emplace(wine_.start(WineSession::windowsPathOf(config::win32Tests()),
                                {"--gtest_filter=PackagedSetup.HoldsTheFileNamedInTheEnvironment"}, longest_ + 30s));
    for (const char* name : {"VELKORIN_HOLD_FILE", "VELKORIN_HOLD_READY", "VELKORIN_HOLD_RELEASE", "VELKORIN_HOLD_MS",
                             "VELKORIN_HOLD_SHARE_DELETE"})
        unsetenv(name);
    // The holder needs one Wine start; a generous limit, since it only matters when the start fails.
    auto deadline = std::chrono::steady_clock::now() + 60s * config::timeScale();
    while (!fs::exists(wine_.hostPath(readyMarker_)) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(50ms);
    held_ = fs::exists(wine_.hostPath(readyMarker_));
}

std::optional<WindowsRun> HeldFile::release() {
    if (!holder_) return std::nullopt;
    wine_.writeFile(releaseMarker_, {});
    WindowsRun run = holder_->wait(longest_ + 30s);
    holder_.reset();
    std::error_code ignored;
    fs::remove(wine_.hostPath(readyMarker_), ignored);
    fs::remove(wine_.hostPath(releaseMarker_), ignored);
    return run;
}

}  // namespace e2e
