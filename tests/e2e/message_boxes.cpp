// message_boxes.cpp -- closing a program's message box from outside and collecting its end.
#include "message_boxes.h"

#include <gtest/gtest.h>

namespace e2e {

void pressOkAndExpectFailure(WineSession& wine, BackgroundRun& program, const std::optional<DialogDump>& box,
                             const std::string& caption, const std::string& name, std::chrono::milliseconds wait) {
    if (box) {
        ProcessResult closed = wine.driver({"use", box->handle, "click", "1", "wait-gone", "5000"});
        EXPECT_EQ(closed.exitCode, 0) << name << ": OK did not close the box: " << describe(closed);
    } else {
        ADD_FAILURE() << name << ": no message box with the caption \"" << caption << "\" appeared";
    }
    WindowsRun run = program.wait(wait);
    ASSERT_TRUE(run.ended) << name << ": the program did not end: " << describe(run.driver);
    EXPECT_EQ(run.exitCode, 2u) << name;
}

}  // namespace e2e
