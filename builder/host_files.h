// host_files.h -- the build machine's file system, alike on POSIX systems and on Windows. Paths
// are UTF-8 texts; on Windows they may use '\' or '/' between names and are opened through the
// wide-character API, so that every name the file system holds can be read.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

enum class PathKind { missing, file, folder, other };

struct HostFileInfo {
    PathKind kind;
    uint64_t size;
    bool readOnly;           // the owner may not write the file
    uint64_t lastWriteTime;  // FILETIME ticks (100 ns since 1601)
};

// Seconds and nanoseconds since 1970 as FILETIME ticks since 1601 (0 for earlier times).
uint64_t unixToFileTime(int64_t seconds, uint32_t nanoseconds);

// Opens a file like std::fopen; null with errno set on failure.
std::FILE* openHostFile(const std::string& path, const char* mode);
// The whole content of a file. False when it cannot be opened or read.
bool readHostFile(const std::string& path, std::string* bytes);
// What is at path, following links; `missing` when nothing can be read there.
PathKind pathKind(const std::string& path);
// Kind, size, write permission and last-write time. False with *why on failure.
bool readHostFileInfo(const std::string& path, HostFileInfo* info, std::string* why);
// The names in a folder (without "." and ".."), in the order the system lists them.
bool listFolderNames(const std::string& folder, std::vector<std::string>* names, std::string* why);

// Whether a path names its place without the current folder ("/x"; on Windows also "C:\x",
// "\\server\share\x" and "\x").
bool isAbsolutePath(const std::string& path);
// The folder part of a path with its trailing separator ("a/b/" of "a/b/c"), "" for a bare name.
std::string folderOf(const std::string& path);

// Moves a file position to a 64-bit offset (whence as for fseek); 0 on success.
int seekHostFile(std::FILE* file, uint64_t offset, int whence);
// The 64-bit position of a file, or -1.
int64_t tellHostFile(std::FILE* file);
// Creates a new, empty file "<target>.tmp-XXXXXX" beside target, open for reading and writing.
std::FILE* createTemporaryBeside(const std::string& target, std::string* path);
// Gives a file the permissions of a program (POSIX); nothing to do on Windows.
bool makeExecutable(std::FILE* file);
// Renames from to to, replacing a file already there.
bool replaceHostFile(const std::string& from, const std::string& to);
// Removes a file; false when it could not be removed.
bool removeHostFile(const std::string& path);

// The full path of the running program, "" when the system does not tell.
std::string ownProgramPath();
// Whether a stream is a terminal (a console on Windows) that shows what is written to it.
bool isTerminal(std::FILE* stream);
