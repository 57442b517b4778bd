// e2e_config.cpp -- where the e2e tests find the programs under test and their tools.
#include "e2e_config.h"

#include <cstdlib>
#include <fstream>
#include <string>

#ifndef VELKORIN_PACK
#define VELKORIN_PACK ""
#endif

namespace e2e::config {

static std::filesystem::path setting(const char* name, const char* built) {
    const char* value = std::getenv(name);
    return std::filesystem::path(value && *value ? value : built);
}

std::filesystem::path root() { return setting("VELKORIN_ROOT", VELKORIN_ROOT); }
std::filesystem::path stub() { return setting("VELKORIN_STUB", VELKORIN_STUB); }
std::filesystem::path checkpointStub() { return setting("VELKORIN_CHECKPOINT_STUB", VELKORIN_CHECKPOINT_STUB); }
std::filesystem::path driver() { return setting("VELKORIN_DRIVER", VELKORIN_DRIVER); }
std::filesystem::path win32Tests() { return setting("VELKORIN_WIN32_TESTS", VELKORIN_WIN32_TESTS); }
std::filesystem::path wineTemplate() { return setting("VELKORIN_WINE_TEMPLATE", VELKORIN_WINE_TEMPLATE); }
std::filesystem::path wineScripts() { return setting("VELKORIN_WINE_SCRIPTS", VELKORIN_WINE_SCRIPTS); }
std::filesystem::path artifacts() { return setting("VELKORIN_E2E_ARTIFACTS", VELKORIN_E2E_ARTIFACTS); }

std::optional<std::filesystem::path> packer() {
    std::filesystem::path path = setting("VELKORIN_PACK", VELKORIN_PACK);
    if (path.empty() || !std::filesystem::exists(path)) return std::nullopt;
    return path;
}

static int detectTimeScale() {
    if (const char* value = std::getenv("VELKORIN_TIME_SCALE"); value && *value) {
        int scale = std::atoi(value);
        return scale > 0 ? scale : 1;
    }
    std::ifstream entry("/proc/sys/fs/binfmt_misc/qemu-i386");
    std::string state;
    return entry && std::getline(entry, state) && state == "enabled" ? 4 : 1;
}

int timeScale() {
    static const int scale = detectTimeScale();
    return scale;
}

}  // namespace e2e::config
