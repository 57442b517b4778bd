// e2e_config.h -- where the e2e tests find the programs under test and their tools.
// Each path comes from the build (compile definitions); an environment variable of the same
// name overrides it, so a test binary can also be run by hand against other files.
#pragma once
#include <chrono>
#include <filesystem>
#include <optional>

namespace e2e::config {

std::filesystem::path root();          // VELKORIN_ROOT: the source tree
std::filesystem::path stub();          // VELKORIN_STUB: velkorin.exe as built
// VELKORIN_CHECKPOINT_STUB: velkorin-checkpoints.exe, the test build whose check points can be
// counted and refused (tests/stub_variants/counted_check_point.cpp)
std::filesystem::path checkpointStub();
std::filesystem::path driver();        // VELKORIN_DRIVER: velkorin-driver.exe
std::filesystem::path win32Tests();    // VELKORIN_WIN32_TESTS: velkorin-win32-tests.exe (file holder)
std::filesystem::path wineTemplate();  // VELKORIN_WINE_TEMPLATE: the template prefix folder
std::filesystem::path wineScripts();   // VELKORIN_WINE_SCRIPTS: tests/wine
std::filesystem::path artifacts();     // VELKORIN_E2E_ARTIFACTS: screenshots and other keepsakes
std::optional<std::filesystem::path> packer();  // VELKORIN_PACK: velkorin-pack, when it is built
// How many times longer Windows programs take here than on a machine that runs 32-bit code
// itself: VELKORIN_TIME_SCALE when set, else 4 where i386 programs run under qemu's user-mode
// emulation (binfmt_misc entry "qemu-i386" enabled), else 1. Every time limit is multiplied by it.
int timeScale();
// A time limit grown by timeScale().
inline std::chrono::milliseconds scaled(std::chrono::milliseconds limit) { return limit * timeScale(); }

}  // namespace e2e::config
