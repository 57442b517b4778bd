// dll_planting_test.cpp -- libraries planted beside setup.exe, beside the installed uninstaller
// and in the current folder, under the names of the libraries the program uses, are never loaded.
//
// planted.dll (tests/planting) exports nothing and writes C:\planting-markers\NAME.loaded when a
// process loads it. Copies of it carry the name of every library the stub imports, every library
// it loads at run time, and the libraries those need in turn. The installation and the removal
// run with Wine's default load order, and again with the libraries loaded at run time set
// native-first (WINEDLLOVERRIDES NAME=n,b), which is how Windows treats a library that is not one
// of its KnownDLLs: the folder of the program comes first in the search.
//
// Not covered native-first, because no code of the program runs before it happens: the loader
// resolves the import table (user32, gdi32, advapi32, shell32, ole32, kernel32) and what those
// libraries import in turn (under Wine, user32 imports version.dll) while it maps the program,
// looking in the program's folder first when told native-first; Windows takes those from its
// KnownDLLs. COMCTL32 is covered: the program's manifest binds it to the side-by-side copy.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "e2e_config.h"
#include "setup_files.h"
#include "wine_session.h"

namespace e2e {
namespace {

namespace fs = std::filesystem;

const unsigned long exitSuccess = 0;
const char setupFolder[] = "C:\\planting";
const char setupPath[] = "C:\\planting\\setup.exe";
const char currentFolder[] = "C:\\planting-current";
const char installPath[] = "C:\\Program Files\\Velkorin Planting";
const char markerFolder[] = "C:\\planting-markers";

// The stub's import table (tests/unit/stub_imports_test.cpp pins it).
const std::vector<std::string> importedLibraries = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                                                    "shell32.dll",  "ole32.dll",  "comctl32.dll"};
// Loaded at run time (src/: loadSystemLibrary, loadNamedLibrary, LoadLibraryA), besides imported
// ones loaded again (advapi32, shell32, comctl32).
const std::vector<std::string> loadedLibraries = {"riched32.dll", "version.dll", "dinput.dll",
                                                  "d3d8.dll",     "d3d9.dll",    "ddraw.dll"};
// What Wine's versions of those import in turn: searched when the system loads them for the
// program, after the program's own code has started.
const std::vector<std::string> dependencies = {"riched20.dll", "oleaut32.dll", "usp10.dll", "wined3d.dll",
                                               "opengl32.dll", "hid.dll",      "setupapi.dll"};
// Native-first: everything loaded after the program's first instruction (version.dll left out:
// Wine's user32 imports it, see above), and COMCTL32.
std::vector<std::string> nativeFirstLibraries() {
    std::vector<std::string> names = {"riched32.dll", "dinput.dll", "d3d8.dll", "d3d9.dll", "ddraw.dll",
                                      "comctl32.dll"};
    names.insert(names.end(), dependencies.begin(), dependencies.end());
    return names;
}

fs::path plantedLibrary() { return config::driver().parent_path().parent_path() / "tests-planting" / "planted.dll"; }

std::vector<std::string> allLibraries() {
    std::vector<std::string> all = importedLibraries;
    all.insert(all.end(), loadedLibraries.begin(), loadedLibraries.end());
    all.insert(all.end(), dependencies.begin(), dependencies.end());
    return all;
}

// "name=n,b;..." without the ".dll".
std::string nativeFirst(const std::vector<std::string>& names) {
    std::string overrides;
    for (const std::string& name : names) {
        if (!overrides.empty()) overrides += ";";
        overrides += name.substr(0, name.size() - 4) + "=n,b";
    }
    return overrides;
}

// Wine reads WINEDLLOVERRIDES from the environment it starts with: these overrides are added to
// the session's own for as long as this lives. Wine's debugger is switched off too, so that a
// program broken by a planted library ends instead of waiting in it.
class LoadOrder {
public:
    explicit LoadOrder(const std::string& overrides) {
        const char* current = std::getenv("WINEDLLOVERRIDES");
        saved_ = current ? current : "";
        std::string changed = saved_ + (saved_.empty() ? "" : ";") + "winedbg.exe=d";
        if (!overrides.empty()) changed += ";" + overrides;
        setenv("WINEDLLOVERRIDES", changed.c_str(), 1);
    }
    ~LoadOrder() { setenv("WINEDLLOVERRIDES", saved_.c_str(), 1); }
    LoadOrder(const LoadOrder&) = delete;
    LoadOrder& operator=(const LoadOrder&) = delete;

private:
    std::string saved_;
};

void writeHostFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The marker files (each names the planted copy and the program that loaded it).
std::vector<std::string> markers(WineSession& wine) {
    std::vector<std::string> found;
    fs::path folder = wine.hostPath(markerFolder);
    if (!fs::exists(folder)) return found;
    for (const auto& entry : fs::directory_iterator(folder)) {
        Bytes bytes = readBytes(entry.path());
        std::string text(bytes.begin(), bytes.end());
        for (char& c : text)
            if (c == '\r' || c == '\n') c = ' ';
        found.push_back(entry.path().filename().string() + ": " + text);
    }
    return found;
}

class DllPlanting : public ::testing::Test {
protected:
    static inline std::string buildError;
    static inline bool built = false;

    static void SetUpTestSuite() {
        WineSession& wine = WineSession::current();
        if (!config::packer()) return;
        fs::path project = wine.scratch() / "planting";
        writeHostFile(project / "app" / "readme.txt", "Read me.\r\n");
        writeHostFile(project / "app" / "docs" / "guide.txt", "The guide.\r\n");
        // A file with a version resource, so that the version library is used to compare.
        fs::copy_file(config::driver(), project / "app" / "tool.exe", fs::copy_options::overwrite_existing);
        writeHostFile(project / "project.toml",
                      "[product]\n"
                      "name = \"Velkorin Planting\"\n"
                      "title = \"Velkorin Planting 1.0\"\n"
                      "\n[choices]\ngroup = true\n"
                      "\n[[variables]]\nname = \"InstallPath\"\nvalue = \"<ProgramFiles>\\\\Velkorin Planting\"\n"
                      "\n[[variables]]\nname = \"ShortcutsGroup\"\nvalue = \"Velkorin Planting\"\n"
                      "\n[[files]]\ndestination = \"%InstallPath%\"\nsource = \"app\"\n"
                      "overwrite = \"if-newer\"\ncompare_by = \"version\"\n"
                      "\n[[shortcuts]]\nlink = \"<Programs>\\\\%ShortcutsGroup%\\\\Guide.lnk\"\n"
                      "target = \"%InstallPath%\\\\docs\\\\guide.txt\"\n"
                      "\n[[registry]]\nroot = \"HKCU\"\nkey = \"Software\\\\Velkorin Planting\"\nname = \"Path\"\n"
                      "data = \"%InstallPath%\"\n");
        fs::path out = wine.scratch() / "planting-setup.exe";
        if (!buildSetupFile(project / "project.toml", out, wine.scratch(), &buildError)) return;
        wine.copyIn(out, setupPath);
        built = true;
    }

    void SetUp() override {
        if (!config::packer()) GTEST_SKIP() << "velkorin-pack is not part of this build";
        ASSERT_TRUE(built) << buildError;
        ASSERT_TRUE(fs::exists(plantedLibrary())) << plantedLibrary();
        fs::remove_all(wine.hostPath(markerFolder));
    }

    // Copies planted.dll into the folder under each name.
    void plant(const std::string& folder, const std::vector<std::string>& names) {
        for (const std::string& name : names) wine.copyIn(plantedLibrary(), folder + "\\" + name);
    }

    void removePlanted(const std::string& folder, const std::vector<std::string>& names) {
        for (const std::string& name : names) fs::remove(wine.hostPath(folder + "\\" + name));
    }

    // Runs the program to its end from the current folder, with these load-order overrides.
    WindowsRun runFromCurrentFolder(const std::string& program, const std::vector<std::string>& args,
                                    const std::string& overrides) {
        std::vector<std::string> argv = {program};
        argv.insert(argv.end(), args.begin(), args.end());
        LoadOrder order(overrides);
        return parseRun(wine.driver({"chdir", currentFolder, "launch", windowsCommandLine(argv), "wait-exit",
                                     std::to_string(60000 * config::timeScale())},
                                    90s));
    }

    enum class Where { besideAndCurrent, currentOnly };

    // The silent installation, then the silent removal through the installed uninstaller, each
    // with the planted copies beside it and in the current folder (or in the current folder only,
    // so that nothing beside the program is found first).
    void installAndRemove(const std::vector<std::string>& names, const std::string& overrides, Where where) {
        bool beside = where == Where::besideAndCurrent;
        fs::create_directories(wine.hostPath(currentFolder));
        if (beside) plant(setupFolder, names);
        plant(currentFolder, names);
        WindowsRun install = runFromCurrentFolder(setupPath, {"S"}, overrides);
        ASSERT_TRUE(install.ended) << describe(install.driver);
        EXPECT_EQ(install.exitCode, exitSuccess) << describe(install.driver);
        ASSERT_TRUE(wine.readFile(std::string(installPath) + "\\docs\\guide.txt")) << "installed";
        EXPECT_EQ(markers(wine), std::vector<std::string>{}) << "loaded by the installation";

        std::string uninstaller = std::string(installPath) + "\\uninstall.exe";
        ASSERT_TRUE(wine.readFile(uninstaller));
        if (beside) plant(installPath, names);
        fs::remove_all(wine.hostPath(markerFolder));
        WindowsRun removal = runFromCurrentFolder(uninstaller, {"S"}, overrides);
        ASSERT_TRUE(removal.ended) << describe(removal.driver);
        EXPECT_EQ(removal.exitCode, exitSuccess) << describe(removal.driver);
        // The first stage hands over to its copy in the temporary folder, which removes the
        // product and then the uninstaller itself.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30 * config::timeScale());
        while (wine.readFile(uninstaller) && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(200ms);
        EXPECT_FALSE(wine.readFile(uninstaller)) << "the removal ran to its end";
        EXPECT_FALSE(wine.registryValue("HKCU\\Software\\Velkorin Planting", "Path")) << "removed";
        EXPECT_EQ(markers(wine), std::vector<std::string>{}) << "loaded by the uninstaller";
        removePlanted(setupFolder, names);
        removePlanted(currentFolder, names);
        removePlanted(installPath, names);
    }

    WineSession& wine = WineSession::current();
};

TEST_F(DllPlanting, DefaultLoadOrderLoadsNoPlantedLibrary) {
    installAndRemove(allLibraries(), "", Where::besideAndCurrent);
}

// The libraries the program loads itself, and every library the system's libraries load on its
// behalf once it runs, come from the system folder even when planted copies are preferred.
TEST_F(DllPlanting, RunTimeLoadsNativeFirstStayTheSystems) {
    installAndRemove(allLibraries(), nativeFirst(nativeFirstLibraries()), Where::besideAndCurrent);
}

TEST_F(DllPlanting, RunTimeLoadsNativeFirstIgnoreTheCurrentFolder) {
    installAndRemove(allLibraries(), nativeFirst(nativeFirstLibraries()), Where::currentOnly);
}

}  // namespace
}  // namespace e2e
