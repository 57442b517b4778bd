// project.h -- the project file (TOML) in memory: what the package builder is asked to build.
// Texts that reach the package are held in the ANSI code page they are written in.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "format/package_format.h"
#include "icon_file.h"

struct Variable {
    std::string name;   // with its percent signs, as the script carries it
    std::string value;
};

// One group of the file area: a source folder installed into one destination.
struct FileGroupConfig {
    std::string destination;                 // e.g. "%InstallPath%"
    std::string source;                      // folder on the build machine (absolute after loading)
    uint32_t overwriteMode = overwriteAlways;
    uint32_t compareBy = compareByTime;
    bool shared = false;
    std::string compression = "auto";        // "auto", "deflate" or "store"
    std::vector<std::string> store;          // patterns of relative paths always stored raw
    std::vector<std::string> exclude;        // patterns of relative paths left out
};

// One text of a language: its table byte, item number and ANSI text.
struct TextEntry {
    uint8_t table;
    uint8_t item;
    std::string text;
};

// An offered language with every text it carries, in the order the records are written.
struct LanguageTexts {
    uint16_t number;
    std::string name;
    std::vector<TextEntry> texts;
};

struct Requirements {
    std::string os, directX, ie, access;     // "" requires nothing
    bool admin = false;
};

// [setup_file]: what the setup file shows of itself (and the uninstaller copy made from it).
struct SetupFileConfig {
    bool hasIcon = false;
    std::string iconPath;                    // as written in the project (messages name it)
    std::vector<IconImage> iconImages;       // in the order of the icon file
    std::string executionLevel;              // "admin", "highest", "user"; "" = by the default rule
    bool hasVersionInfo = false;             // any of the version fields given
    std::string version;                     // "1.2.3.4"; "" = none
    uint16_t versionParts[4] = {0, 0, 0, 0};
    std::string productName, company, description, copyright;  // UTF-8; "" = not given
};

struct Project {
    std::string path;                        // the project file, as given
    std::string folder;                      // its folder: relative paths start here
    int codePage = 1252;                     // of the texts outside the text tables and of the
                                             // packaged names: the first offered language's

    // [product]
    std::string productName, productTitle;
    std::string previousInstall;             // "root,key,value" registry source of %InstallPath%
    std::string finishProgram, finishReadme;
    bool restart = false;
    bool createUninstaller = true;
    std::string uninstallerName = "uninstall.exe";  // %UninstallerFileName%, in %InstallPath%
    bool hasLicense = false, hasReadme = false;
    std::string licenseText, readmeText;     // the documents' bytes as written

    // [appearance]; colours as the script stores them (COLORREF or a system-colour request)
    std::string textFont, titleFont;
    uint32_t textColor = 0, titleColor = 0;  // 0xRRGGBB, written into the font texts
    uint32_t pageColor = colorSystemButtonFace;
    uint32_t frameColor = colorSystemButtonFace;
    uint32_t headerColor = colorSystemWindow;
    bool welcomeHeaderFill = false, backgroundCaption = false, compactDialogs = false;
    bool hideMakerLink = false;
    bool hasAccentColor = false;
    uint32_t accentColor = 0;                // COLORREF, written as is

    // [choices]: which shortcut kinds the user may untick
    bool groupChoice = false, desktopChoice = false, quickLaunchChoice = false;

    // [pages]: one switch per wizard page 0..11
    uint8_t pages[wizardPageCount] = {0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 1, 1};

    // [languages] and [texts]
    std::vector<LanguageTexts> languages;    // in the order offered; the first is the default
    bool autoSelectLanguage = false;
    std::string textPackFolder;              // the project's own text packs (absolute); "" = none

    // [background]
    bool hasBackground = false;
    uint32_t gradientTop = 0, gradientBottom = 0;  // 0xRRGGBB

    SetupFileConfig setupFile;

    bool hasRequirements = false;
    Requirements requirements;

    std::vector<Variable> variables;
    std::vector<FileGroupConfig> groups;
    // The comma-field texts of the list records, as the script carries them.
    std::vector<std::string> shortcuts, registryEntries, iniEntries, associations, backgroundTexts;
    std::vector<std::string> launches, dllCalls;
};

// Reads and checks a project file. On failure *err is "file:line: field: what is wrong".
bool loadProject(const std::string& path, Project* project, std::string* err);
// The same over text already in memory; path only names the file in messages and anchors
// relative source folders.
bool loadProjectText(const std::string& text, const std::string& path, Project* project, std::string* err);
