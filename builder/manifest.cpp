// manifest.cpp -- manifest text and the rule that picks its execution level.
#include "manifest.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

namespace {

// Folder tokens of places that only an administrator may write to.
const char* const machineFolders[] = {"<ProgramFiles>",   "<CommonFiles>",     "<CommonAppData>",   "<CommonDesktop>",
                                      "<CommonFavorites>", "<CommonPrograms>", "<CommonStartMenu>", "<CommonStartup>",
                                      "<CommonTemplates>", "<CommonDocuments>", "<CommonPictures>", "<CommonMusic>",
                                      "<CommonVideo>",    "<AllUsers>",        "<Windows>",         "<System>",
                                      "<Fonts>"};
constexpr int rootLocalMachine = 2;
constexpr int expansionPasses = 16;  // variables that still name variables after this many are left as they are

// The text with the project's variables replaced by their values (names compared ignoring case).
std::string expanded(const Project& project, std::string text) {
    for (int pass = 0; pass < expansionPasses; ++pass) {
        bool changed = false;
        for (const Variable& v : project.variables) {
            for (size_t at = 0; at + v.name.size() <= text.size();) {
                if (strncasecmp(text.c_str() + at, v.name.c_str(), v.name.size()) != 0) {
                    ++at;
                    continue;
                }
                text.replace(at, v.name.size(), v.value);
                at += v.value.size();
                changed = true;
            }
        }
        if (!changed) break;
    }
    return text;
}

bool inMachineFolder(const Project& project, const std::string& path) {
    std::string full = expanded(project, path);
    for (const char* token : machineFolders)
        if (strncasecmp(full.c_str(), token, strlen(token)) == 0) return true;
    return false;
}

std::string firstField(const std::string& record) { return record.substr(0, record.find(',')); }

bool writesMachineWide(const Project& p) {
    if (p.createUninstaller || (p.hasRequirements && p.requirements.admin)) return true;
    for (const FileGroupConfig& group : p.groups)
        if (group.shared || inMachineFolder(p, group.destination)) return true;
    for (const std::string& shortcut : p.shortcuts)
        if (inMachineFolder(p, firstField(shortcut))) return true;
    for (const std::string& ini : p.iniEntries) {
        std::string file = expanded(p, firstField(ini));
        // A file named without a folder lands in the Windows folder.
        if (file.find_first_of("\\/") == std::string::npos || inMachineFolder(p, file)) return true;
    }
    for (const std::string& value : p.registryEntries)
        if (std::strtol(firstField(value).c_str(), nullptr, 10) == rootLocalMachine) return true;
    return false;
}

}  // namespace

ExecutionLevel defaultExecutionLevel(const Project& project) {
    return writesMachineWide(project) ? ExecutionLevel::admin : ExecutionLevel::user;
}

const char* levelName(ExecutionLevel level) {
    switch (level) {
    case ExecutionLevel::admin: return "admin";
    case ExecutionLevel::highest: return "highest";
    case ExecutionLevel::user: return "user";
    }
    return "";
}

const char* manifestLevelName(ExecutionLevel level) {
    switch (level) {
    case ExecutionLevel::admin: return "requireAdministrator";
    case ExecutionLevel::highest: return "highestAvailable";
    case ExecutionLevel::user: return "asInvoker";
    }
    return "";
}

std::string manifestText(ExecutionLevel level) {
    // supportedOS: Vista, 7, 8, 8.1, 10 and 11. A program that names them gets the system's own
    // behaviour (and version) instead of the compatibility shims of older programs.
    return std::string(
               "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
               "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
               "<assemblyIdentity version=\"1.0.0.0\" processorArchitecture=\"X86\" name=\"Velkorin.Setup\" "
               "type=\"win32\"/>\n"
               "<dependency><dependentAssembly><assemblyIdentity type=\"win32\" "
               "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\" processorArchitecture=\"X86\" "
               "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/></dependentAssembly></dependency>\n"
               "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\"><security><requestedPrivileges>"
               "<requestedExecutionLevel level=\"") +
           manifestLevelName(level) +
           "\" uiAccess=\"false\"/></requestedPrivileges></security></trustInfo>\n"
           "<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\"><application>\n"
           "<supportedOS Id=\"{e2011457-1546-43c5-a5fe-008deee3d3f0}\"/>\n"
           "<supportedOS Id=\"{35138b9a-5d96-4fbd-8e2d-a2440225f93a}\"/>\n"
           "<supportedOS Id=\"{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\"/>\n"
           "<supportedOS Id=\"{1f676c76-80e1-4239-95bb-83d0f6d0da78}\"/>\n"
           "<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>\n"
           "</application></compatibility>\n"
           "</assembly>\n";
}
