// folder_token_table.cpp -- the folder-token table shared by text expansion and the resolver.
#include "script/folder_token_table.h"

const FolderToken folderTokens[folderTokenCount + 1] = {
    {"<AppData>", 0x1A},           // CSIDL_APPDATA
    {"<CommonAppData>", 0x23},     // CSIDL_COMMON_APPDATA
    {"<CommonDesktop>", 0x19},     // CSIDL_COMMON_DESKTOPDIRECTORY
    {"<CommonFavorites>", 0x1F},   // CSIDL_COMMON_FAVORITES
    {"<CommonFiles>", 0x2B},       // CSIDL_PROGRAM_FILES_COMMON
    {"<CommonPrograms>", 0x17},    // CSIDL_COMMON_PROGRAMS
    {"<CommonStartMenu>", 0x16},   // CSIDL_COMMON_STARTMENU
    {"<CommonStartup>", 0x18},     // CSIDL_COMMON_STARTUP
    {"<CommonTemplates>", 0x2D},   // CSIDL_COMMON_TEMPLATES
    {"<Desktop>", 0x10},           // CSIDL_DESKTOPDIRECTORY
    {"<IE>", noFolderCode},
    {"<Favorites>", 0x06},         // CSIDL_FAVORITES
    {"<Fonts>", 0x14},             // CSIDL_FONTS
    {"<MSAccess>", noFolderCode},
    {"<NetHood>", 0x13},           // CSIDL_NETHOOD
    {"<Documents>", 0x05},         // CSIDL_PERSONAL
    {"<ProgramFiles>", 0x26},      // CSIDL_PROGRAM_FILES
    {"<Programs>", 0x02},          // CSIDL_PROGRAMS
    {"<QuickLaunch>", noFolderCode},
    {"<SentTo>", 0x09},            // CSIDL_SENDTO
    {"<StartMenu>", 0x0B},         // CSIDL_STARTMENU
    {"<StartUp>", 0x07},           // CSIDL_STARTUP
    {"<System>", 0x25},            // CSIDL_SYSTEM
    {"<Temp>", noFolderCode},
    {"<Template>", 0x15},          // CSIDL_TEMPLATES
    {"<Windows>", 0x24},           // CSIDL_WINDOWS
    {"<UserProfile>", 0x28},       // CSIDL_PROFILE
    {"<AllUsers>", noFolderCode},
    {"<CommonDocuments>", 0x2E},   // CSIDL_COMMON_DOCUMENTS
    {"<CommonPictures>", noFolderCode},
    {"<CommonMusic>", noFolderCode},
    {"<CommonVideo>", noFolderCode},
    {"<Pictures>", noFolderCode},
    {"<Music>", noFolderCode},
    {"<Video>", noFolderCode},
    {nullptr, noFolderCode},
};
