// The file-area walk over a setup file built by velkorin-pack, and a process that holds a target
// open: run by tests/e2e/extraction_test.cpp through environment variables, skipped otherwise.
#include <gtest/gtest.h>

#include "fresh_state.h"
#include <windows.h>
#include <string.h>

#include <cstdio>
#include <cstdlib>

#include "install/file_area.h"
#include "install/install_log.h"
#include "script/setup_state.h"
#include "startup/package_file.h"
#include "support/heap.h"
#include "support/pointer_array.h"
#include "system/file_system.h"
#include "system/security.h"

namespace {
TEST(PackagedSetup, ExtractsTheSetupFileNamedInTheEnvironment) {
    const char* setup = getenv("VELKORIN_EXTRACT_SETUP");
    const char* log = getenv("VELKORIN_EXTRACT_LOG");
    if (!setup || !log) GTEST_SKIP() << "run by the e2e extraction test";
    ASSERT_NO_FATAL_FAILURE(openFreshState());
    state.programFilePath = duplicateText(setup);
    state.selfFile = CreateFileA(setup, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_EQ(verifyPackage(), packageLoaded);
    state.installOk = true;
    state.resumeEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
    state.tempFolderPath = tempFolder();
    if (loadSecurityFunctions()) state.threadToken = openAccessToken();
    state.logFile = CreateFileA(log, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    bool done = extractFileArea(nullptr);
    closeLogFile(state.logFile);
    printf("walk %s, installOk %d\n", done ? "ended" : "aborted", state.installOk ? 1 : 0);
    for (int i = 0; i < listCount(&state.rebootReplaceFiles); ++i)
        printf("deferred\t%s\t%s\t%s\n", listAt(&state.rebootReplaceFiles, i), listAt(&state.pendingReplacements, i),
               listAt(&state.rebootReplaceShared, i));
    fflush(stdout);
}

// Holds the file (or folder) VELKORIN_HOLD_FILE open for reading. It writes the file VELKORIN_HOLD_READY once the
// file is held, and lets go when VELKORIN_HOLD_RELEASE appears or after VELKORIN_HOLD_MS at the latest,
// so the e2e test that starts it waits for the hold instead of guessing how long a start takes.
// With VELKORIN_HOLD_SHARE_DELETE=1 it lets others delete the file meanwhile, as a virus scanner
// does: the file then goes when the holder lets go.
TEST(PackagedSetup, HoldsTheFileNamedInTheEnvironment) {
    const char* path = getenv("VELKORIN_HOLD_FILE");
    if (!path) GTEST_SKIP() << "run by the e2e tests of files in use";
    const char* shareDelete = getenv("VELKORIN_HOLD_SHARE_DELETE");
    DWORD share = FILE_SHARE_READ | (shareDelete && strcmp(shareDelete, "1") == 0 ? FILE_SHARE_DELETE : 0);
    // A folder is held as well (backup semantics open folders; they change nothing for a file).
    HANDLE held = CreateFileA(path, GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const char* ready = getenv("VELKORIN_HOLD_READY");
    const char* release = getenv("VELKORIN_HOLD_RELEASE");
    if (ready) {
        HANDLE marker = CreateFileA(ready, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        ASSERT_NE(marker, INVALID_HANDLE_VALUE);
        CloseHandle(marker);
    }
    DWORD limit = static_cast<DWORD>(atoi(getenv("VELKORIN_HOLD_MS") ? getenv("VELKORIN_HOLD_MS") : "5000"));
    DWORD started = GetTickCount();
    while (GetTickCount() - started < limit) {
        if (release && GetFileAttributesA(release) != INVALID_FILE_ATTRIBUTES) break;
        Sleep(20);
    }
    CloseHandle(held);
}
}  // namespace
