// held_file.h -- a file that another Windows process holds open, for the tests of files in use.
#pragma once
#include <chrono>
#include <optional>
#include <string>

#include "wine_session.h"

namespace e2e {

// Starts the Win32 test program's holder on a file of drive C: and waits until it holds the file
// open (it writes a ready marker), so a test never guesses how long a Wine start takes. The
// holder lets go on release() (a release marker), or after `longest` at the latest. With
// `letsDelete` others may delete the file while it is held (it goes when the holder lets go).
class HeldFile {
public:
    HeldFile(WineSession& wine, const std::string& windowsPath, std::chrono::milliseconds longest = 60s,
             bool letsDelete = false);
    ~HeldFile() { release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // True once the holder has the file open.
    bool held() const { return held_; }
    // Lets the holder go and waits for its end; returns its run (repeated calls return nothing).
    std::optional<WindowsRun> release();

private:
    WineSession& wine_;
    std::string readyMarker_, releaseMarker_;
    std::optional<BackgroundRun> holder_;
    std::chrono::milliseconds longest_;
    bool held_ = false;
};

}  // namespace e2e
