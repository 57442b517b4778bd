// wine_session.h -- one Wine prefix per e2e test process, and the helpers that act inside it.
//
// The session copies the template prefix (made once per build folder by
// tests/wine/prepare-template.sh) into a temporary folder, keeps a wineserver alive for it
// (`wineserver -p`), and either starts a private Xvfb display (X11 driver, windows can be seen,
// driven and photographed) or selects Wine's null graphics driver (windowless, fastest). At the
// end it stops the server and the display and removes the prefix.
//
// Windows programs are started through velkorin-driver.exe (`launch` + `wait-exit`), so that the
// full 32-bit exit code comes back (a Unix exit status would cut 3010 to 194).
#pragma once
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "dialog_dump.h"
#include "process.h"
#include "resident_driver.h"

namespace e2e {

using namespace std::chrono_literals;

enum class Display { none, xvfb };

// A Windows program's run, as the driver saw it.
struct WindowsRun {
    bool ended = false;          // the program ended by itself before the timeout
    unsigned long exitCode = 0;  // its exit code (valid when ended)
    std::vector<std::string> windows;  // "CLASS\tCAPTION" of each visible top-level window (watch)
    ProcessResult driver;        // the driver process (output, errors, elapsed time)
};

// A program started in the background; wait() collects its run.
class BackgroundRun {
public:
    explicit BackgroundRun(ChildProcess child) : child_(std::move(child)) {}
    WindowsRun wait(std::chrono::milliseconds timeout);

private:
    ChildProcess child_;
};

// A registry value read with `wine reg query`.
struct RegistryValue {
    std::string type;  // REG_SZ, REG_DWORD, ...
    std::string data;  // as reg prints it (a DWORD as 0x...)
};

class WineSession {
public:
    // The session of this test process (created by the test environment).
    static WineSession& current();

    // Makes the prefix, starts the server and, for Display::xvfb, the display. Throws on failure.
    void open(Display display);
    // Stops the server and the display, removes the prefix.
    void close();

    const std::filesystem::path& prefix() const { return prefix_; }
    // A host folder for the test's own files (built setup files, process output); removed at close.
    const std::filesystem::path& scratch() const { return scratch_; }
    // The host path of a path on drive C: ("C:\\a\\b" -> PREFIX/drive_c/a/b).
    std::filesystem::path hostPath(const std::string& windowsPath) const;
    // The Windows path of a host file (through drive Z:, which Wine maps to "/").
    static std::string windowsPathOf(const std::filesystem::path& hostFile);
    // The folder for test artifacts (screenshots), made on demand.
    std::filesystem::path artifactFolder() const;

    // Runs the program (a Windows path, e.g. "C:\\setup\\setup.exe") with its arguments to its end.
    WindowsRun run(const std::string& program, const std::vector<std::string>& args,
                   std::chrono::milliseconds timeout = 30s);
    // Like run, and also reports every visible top-level window the program showed.
    WindowsRun runWatched(const std::string& program, const std::vector<std::string>& args,
                          std::chrono::milliseconds timeout = 30s);
    // Starts the program in the background; collect it with BackgroundRun::wait.
    BackgroundRun start(const std::string& program, const std::vector<std::string>& args,
                        std::chrono::milliseconds timeout = 60s);
    // Like start, with variables added to the program's environment (NAME, VALUE pairs).
    BackgroundRun startWithEnvironment(const std::string& program, const std::vector<std::string>& args,
                                       const std::vector<std::pair<std::string, std::string>>& environment,
                                       std::chrono::milliseconds timeout = 60s);
    // Runs velkorin-driver.exe's commands (see tests/driver/driver.cpp) as one request to the
    // session's resident driver; commands that change the driver's own environment or folder
    // (setenv, chdir) get a driver process of their own.
    ProcessResult driver(const std::vector<std::string>& commands, std::chrono::milliseconds timeout = 30s);
    // Driver processes the resident driver has needed so far.
    int residentDriverStarts() const { return resident_.starts(); }
    // Waits for a dialog with this caption ("*": any) and returns its dump; nullopt if none came.
    std::optional<DialogDump> waitDialog(const std::string& caption, std::chrono::milliseconds timeout = 15s);
    // A message box with this caption (never a window that merely shares it); the limit is scaled.
    std::optional<DialogDump> waitBox(const std::string& caption, std::chrono::milliseconds timeout = 15s);
    // Runs `wine` with these arguments (a Wine tool such as reg or wineboot).
    ProcessResult wine(const std::vector<std::string>& args, std::chrono::milliseconds timeout = 30s);

    // Copies a host file to a path on drive C:, making the folders.
    void copyIn(const std::filesystem::path& hostFile, const std::string& windowsPath);
    // Writes bytes to a path on drive C:, making the folders.
    void writeFile(const std::string& windowsPath, const std::vector<unsigned char>& bytes);
    // Reads a file on drive C:; nullopt when it does not exist.
    std::optional<std::vector<unsigned char>> readFile(const std::string& windowsPath) const;

    // Reads a value ("" = the default value); nullopt when the key or value does not exist.
    std::optional<RegistryValue> registryValue(const std::string& key, const std::string& name);
    // Sets a REG_SZ value, making the key. Throws when that fails.
    void setRegistryText(const std::string& key, const std::string& name, const std::string& text);
    // Sets a REG_DWORD value, making the key. Throws when that fails.
    void setRegistryNumber(const std::string& key, const std::string& name, unsigned long number);
    // Makes the key (and those above it) when missing. Throws when that fails.
    void createRegistryKey(const std::string& key);
    // Deletes keys with all below them, then values (KEY, NAME); what is missing already is fine.
    void deleteRegistry(const std::vector<std::string>& keys,
                        const std::vector<std::pair<std::string, std::string>>& values = {});
    // Sets the Windows version Wine reports to the next processes ("win95", "winxp", "win7", ...).
    void setWindowsVersion(const std::string& version);

    // Saves a picture of the whole display as ARTIFACTS/<suite>.<test>[-label].png and returns
    // its path; empty without a display or when import fails.
    std::filesystem::path screenshot(const std::string& label = "");

    // Seconds the session's set-up took (prefix copy, server, display).
    double openSeconds() const { return openSeconds_; }

private:
    void startDisplay();
    void stopDisplay();
    WindowsRun runThroughDriver(const std::string& program, const std::vector<std::string>& args,
                                const char* waitCommand, std::chrono::milliseconds timeout);

    std::filesystem::path root_, prefix_, scratch_;
    ResidentDriver resident_;
    pid_t displayPid_ = -1;
    int displayNumber_ = -1;
    double openSeconds_ = 0;
};

// The Windows command line for these arguments (quoted the way the C runtime splits them).
std::string windowsCommandLine(const std::vector<std::string>& argv);
// Parses the driver's `exit` and `window` lines into a run.
WindowsRun parseRun(const ProcessResult& driver);

}  // namespace e2e
