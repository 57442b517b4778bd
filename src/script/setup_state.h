// setup_state.h -- SetupState, the one global record of the run: configuration from the script,
// text tables, run state and the handles of the start-up stages.
#pragma once
#include "format/package_format.h"
#include "support/platform.h"
#include "support/string_list.h"

// One wizard page, or (slot 12) the uninstaller window's texts.
struct PageRecord {
    BYTE enabled;
    int dialogId;                       // dialogIdBase + 129 + page index
    StringList texts[languageSlots];    // the page's texts per language number
    StringList launchesAfter;           // program launches run when the page is left
    StringList dllCallsAfter;           // DLL calls run when the page is left
};

constexpr int maxArguments = 10;        // the program path included
constexpr int fontFaceSize = 32;        // 31 characters and the terminator

struct LogLineSlot;  // install_log_lines.cpp

struct SetupState {
    // ---- process and start-up ----
    HINSTANCE instance;
    char* programFilePath;              // stage 3
    char* programFolderPath;            // stage 4
    char* tempFolderPath;               // stage 5, no trailing separator
    HANDLE selfFile;                    // stage 6; INVALID_HANDLE_VALUE when closed
    char* commandLine;                  // stage 7: upper-cased copy, cut into the arguments
    int argumentCount;
    char* arguments[maxArguments];
    HMODULE richEditLibrary;
    HANDLE threadToken;

    // ---- events and worker ----
    HANDLE resumeEvent;                 // manual reset, signalled while nobody asks to cancel
    HANDLE installDoneEvent;            // set when the installation ran to its end
    HANDLE uninstallDoneEvent;          // set when the removal ran to its end
    HANDLE workerThread;
    DWORD workerThreadId;

    // ---- package ----
    WORD packageOffset;                 // 0: no package, uninstall mode
    DWORD scriptReadSize;
    DWORD fileChecksum;
    PackageHeader package;
    BYTE* script;                       // the inflated script, kept until the clean-up
    DWORD scriptSize;                   // bytes the inflater produced
    DWORD recordsRead;                  // records handed to the interpreter

    // ---- run mode and results ----
    bool silentMode;
    HWND ownerWindow;
    HWND frameDialog;
    int currentPage, previousPage;
    int wizardEventPage;                // first page whose after-page actions are still due
    bool installOk;
    bool rebootRequired, restartAtEnd, rebootForFilesInUse;
    StringList rebootReplaceFiles;      // temporary copies that replace their targets at restart
    StringList pendingReplacements;     // the targets of rebootReplaceFiles
    StringList rebootReplaceShared;     // "1" or "0" per deferred file
    StringList rebootDeletePaths;       // paths the uninstaller could not delete
    StringList leftoverPaths;           // items the uninstaller left in place
    StringList logLines;                // every install-log line of this run, in order
    struct LogLineSlot* logLineIndex;   // hash table over logLines for the duplicate test
    DWORD logLineIndexSize;             // its slots, a power of two (0: none yet)
    int logLinesIndexed;                // the first lines of logLines that the table holds
    HANDLE logFile;                     // the temporary install log while the worker runs
    char* tempLogPath;                  // its path; the rollback reads it

    // ---- configuration from the script ----
    StringList variableNames, variableValues;
    PageRecord pages[pageRecordCount];
    char* licenseText;
    char* readmeText;
    WORD languageId;                    // current language number
    HDPA languages;                     // offered language numbers in script order
    int languageCount;
    StringList languageNames;           // English language names by language number
    StringList messageTexts[languageSlots];
    StringList errorTexts[languageSlots];
    StringList buttonTexts[languageSlots];
    bool showBackground;
    COLORREF gradientTopColor, gradientBottomColor;
    COLORREF accentColor;
    char* productName;                  // plain name; the Uninstall subkey
    char* productTitle;                 // name with version
    char* setupCaption;                 // "%s Setup" of productTitle
    char textFontFace[fontFaceSize];
    char titleFontFace[fontFaceSize];
    COLORREF textColor, titleColor, pageColor, frameColor, headerColor;
    bool welcomeHeaderFill, backgroundCaption;
    char* finishProgram;
    bool launchFinishProgram;
    char* finishReadme;
    bool openFinishReadme;
    int dialogIdBase;                   // 0 full-size dialogs, 20 compact
    bool groupChoice, desktopChoice, quickLaunchChoice, createUninstaller;
    BYTE hideMakerLink;
    bool hasGroupShortcuts, createGroupShortcuts;
    bool hasDesktopShortcuts, createDesktopShortcuts;
    bool hasQuickLaunchShortcuts, createQuickLaunchShortcuts;
    StringList shortcuts, registryEntries, iniEntries, fileAssociations, backgroundTexts;
    StringList startLaunches, startDllCalls, uninstallLaunches, uninstallDllCalls;
    char* requiredOs;
    char* requiredDirectX;
    char* requiredIe;
    char* requiredAccess;
    BYTE requireAdmin;

    // ---- detected system (start-up) and the unmet requirement (the requirement check) ----
    int windowsVersion;                 // WindowsVersion code
    int ieLevel;                        // Internet Explorer level 0..20
    DWORD directXLevel;                 // 0, 0x100 .. 0x900 (major in the high byte)
    int accessLevel;                    // Microsoft Access level 0..7
    bool userIsAdmin;                   // the token holds the enabled Administrators group
    const char* missingOsName;          // display names of unmet requirements (static texts)
    const char* missingIeName;
    const char* missingDirectXName;
    const char* missingAccessName;

    // ---- shared scratch and resolved folders ----
    StringList fieldList;               // fields of the last split text
    StringList folderPaths;             // resolved folder tokens, in table order

    // ---- appearance (stage 1) ----
    int screenDpi;
    int gradientSteps;
    int stripeBottomWidth, stripeTopWidth;
    HPALETTE gradientPalette;
    HFONT textFont, titleFont;
    HBRUSH headerBrush, accentBrush, pageBrush, frameBrush;
    HPEN accentPen;

    // ---- wizard frame and the open page ----
    HWND pageDialog;                    // the page shown in the frame (or the uninstaller window)
    HWND backgroundWindow;              // the full-screen gradient window; null without one
    int pageType;                       // dialog id of the open page minus dialogIdBase
    int pageSlot;                       // slot index of the open page (12: uninstaller window)
    int headerHeight;                   // bottom of the page's separator line 1027, pixels
    int footerHeight;                   // frame client height minus the top of line 1003
    HCURSOR handCursor;
    int languageIndex;                  // position of the chosen language in the language list
    bool userCancelled;                 // the wizard was closed by Cancel (or the licence declined)
};

extern SetupState state;

// Sets every field to its start value (zero, with the few documented defaults).
void resetSetupState();
// Creates every list of the record (start-up stage 0); false when one cannot be created.
bool createStateLists();
// Destroys every list and the texts they own.
void destroyStateLists();
// Empties every list and the language array but keeps them created, as createStateLists left them.
void clearStateLists();
// Frees every text the script and the start-up stages allocated.
void freeStateTexts();
