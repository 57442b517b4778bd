// message_boxes.h -- closing a program's message box from outside and collecting its end.
#pragma once
#include <chrono>
#include <optional>
#include <string>

#include "dialog_dump.h"
#include "wine_session.h"

namespace e2e {

// Presses OK (id 1) on the box, then waits for the program and expects it to have ended with the
// failure code 2. When no box came, that is recorded as a failure naming `caption`; `name` labels
// every failure.
void pressOkAndExpectFailure(WineSession& wine, BackgroundRun& program, const std::optional<DialogDump>& box,
                             const std::string& caption, const std::string& name, std::chrono::milliseconds wait);

}  // namespace e2e
