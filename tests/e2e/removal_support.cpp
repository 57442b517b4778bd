// removal_support.cpp -- prefix pictures, the temporary folder and test installations.
#include "removal_support.h"

#include <algorithm>
#include <fstream>
#include <thread>

#include "e2e_config.h"
#include "prefix_snapshot.h"
#include "setup_files.h"

namespace e2e {
std::filesystem::path tempFolder(WineSession& wine) {
    for (const auto& entry : std::filesystem::directory_iterator(wine.prefix() / "drive_c/users"))
        if (entry.path().filename() != "Public") return entry.path() / "Temp";
    return {};
}

namespace {

void addDifferences(const std::set<std::string>& before, const std::set<std::string>& after,
                    std::vector<std::string>* out) {
    for (const std::string& line : linesOnlyIn(after, before)) out->push_back("+ " + line);
    for (const std::string& line : linesOnlyIn(before, after)) out->push_back("- " + line);
}
}  // namespace

void prepareForPictures(WineSession& wine) {
    wine.copyIn(config::stub(), "C:\\warm-up\\velkorin.exe");
    wine.run("C:\\warm-up\\velkorin.exe", {}, 30s * config::timeScale());
    std::filesystem::remove_all(wine.hostPath("C:\\warm-up"));
    wine.createRegistryKey("HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs");
}

PrefixPicture takePicture(WineSession& wine) {
    PrefixPicture picture;
    picture.files = driveSnapshot(wine.prefix() / "drive_c");
    picture.machine = registrySnapshot(wine, "HKLM");
    picture.user = registrySnapshot(wine, "HKCU");
    picture.classes = registrySnapshot(wine, "HKCR");
    return picture;
}

std::vector<std::string> pictureDifferences(const PrefixPicture& before, const PrefixPicture& after) {
    std::vector<std::string> out;
    addDifferences(before.files, after.files, &out);
    addDifferences(before.machine, after.machine, &out);
    addDifferences(before.user, after.user, &out);
    addDifferences(before.classes, after.classes, &out);
    return out;
}

std::set<std::string> tempNames(WineSession& wine) {
    std::set<std::string> names;
    std::filesystem::path folder = tempFolder(wine);
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error))
        names.insert(entry.path().filename().string());
    return names;
}

std::set<std::string> waitForTempNames(WineSession& wine, const std::set<std::string>& names,
                                       std::chrono::milliseconds timeout) {
    auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::set<std::string> now = tempNames(wine), extra;
        for (const std::string& name : now)
            if (!names.count(name)) extra.insert(name);
        if (extra.empty() || std::chrono::steady_clock::now() >= end) return extra;
        std::this_thread::sleep_for(100ms);
    }
}

std::string waitForLeftoverTree(WineSession& wine, const std::string& window, const std::string& wanted) {
    std::string lines;
    for (int wait = 0; wait < 100; ++wait) {
        lines = wine.driver({"use", window, "tree", "1026"}).output;
        lines.erase(std::remove(lines.begin(), lines.end(), '\r'), lines.end());
        if (lines.find(wanted) != std::string::npos) return lines;
        std::this_thread::sleep_for(100ms);
    }
    return lines.find("item\t") != std::string::npos ? lines : "";
}

std::string installProject(WineSession& wine, const std::string& name,
                           const std::vector<std::pair<std::filesystem::path, std::string>>& extraAppFiles,
                           const std::string& projectAddition) {
    if (!config::packer()) return "velkorin-pack is not part of this build";
    std::filesystem::path copy = wine.scratch() / ("project-" + name);
    std::filesystem::remove_all(copy);
    std::filesystem::copy(config::root() / "tests/e2e/projects" / name, copy, std::filesystem::copy_options::recursive);
    for (const auto& [file, nameInApp] : extraAppFiles) std::filesystem::copy_file(file, copy / "app" / nameInApp);
    if (!projectAddition.empty()) std::ofstream(copy / "project.toml", std::ios::app) << "\n" << projectAddition;
    std::string error;
    std::filesystem::path out = wine.scratch() / (name + "-setup.exe");
    if (!buildSetupFile(copy / "project.toml", out, wine.scratch(), &error)) return error;
    std::string setup = "C:\\" + name + "\\setup.exe";
    wine.copyIn(out, setup);
    WindowsRun run = wine.run(setup, {"S"}, 60s * config::timeScale());
    std::filesystem::remove_all(wine.hostPath("C:\\" + name));
    if (!run.ended) return "the installation did not end: " + describe(run.driver);
    if (run.exitCode != 0) return "the installation exited with " + std::to_string(run.exitCode);
    return "";
}

}  // namespace e2e
