// self_removal.cpp -- the delete-me script of the uninstaller.
#include "uninstall/self_removal.h"

#include "script/setup_state.h"
#include "support/heap.h"
#include "system/paths.h"

// text + first + quoted path + last, replacing text (null stays null: the script is not written).
static void appendQuoted(char** text, const char* first, const char* path, const char* last) {
    char* quoted = concatTexts(first, "\"", path, "\"");
    char* longer = *text && quoted ? concatTexts(*text, quoted, last) : nullptr;
    heapFree(quoted);
    heapFree(*text);
    *text = longer;
}

// The script's lines, joined by CR LF, no line end after the last one. A folder is removed with
// "rd" without "/s": one that still holds anything stays.
static char* scriptText(const char* program, const char* script, const StringList* folders) {
    char* text = duplicateText("@echo off\r\n:try\r\n");
    appendQuoted(&text, "del ", program, "\r\n");
    appendQuoted(&text, "if exist ", program, " goto try\r\n");
    for (int i = 0; folders && i < listCount(folders); ++i) appendQuoted(&text, "rd ", listAt(folders, i), "\r\n");
    appendQuoted(&text, "del ", script, "");
    return text;
}

// The command interpreter reads a batch file in the OEM code page: the paths, ANSI texts, are
// converted (in place) first, or a name with a letter outside ASCII names another file.
static void writeScript(const char* path, char* text) {
    CharToOemA(text, text);
    HANDLE file = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_FLAG_WRITE_THROUGH | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written;
    WriteFile(file, text, textLength(text), &written, nullptr);
    CloseHandle(file);
    SetFileAttributesA(path, FILE_ATTRIBUTE_NORMAL);
}

// The command line is the quoted script path: a temporary folder's path may hold blanks.
static void startHidden(const char* script) {
    char* commandLine = concatTexts("\"", script, "\"");
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION process;
    if (commandLine && CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE,
                                      DETACHED_PROCESS | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    heapFree(commandLine);
}

void removeSelf(const StringList* folders) {
    char* script = joinPath(state.tempFolderPath, "delself.bat");
    char* text = script && state.programFilePath ? scriptText(state.programFilePath, script, folders) : nullptr;
    if (text) {
        writeScript(script, text);
        startHidden(script);
    }
    heapFree(text);
    heapFree(script);
}
