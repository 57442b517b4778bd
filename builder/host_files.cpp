// host_files.cpp -- files, folders and the console of the build machine: POSIX calls, or the
// wide-character Win32 calls with UTF-8 converted at the boundary.
#include "host_files.h"

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

uint64_t unixToFileTime(int64_t seconds, uint32_t nanoseconds) {
    const int64_t secondsFrom1601 = 11644473600;
    if (seconds < -secondsFrom1601) return 0;
    return static_cast<uint64_t>(seconds + secondsFrom1601) * 10000000u + nanoseconds / 100;
}

bool readHostFile(const std::string& path, std::string* bytes) {
    std::FILE* file = openHostFile(path, "rb");
    if (!file) return false;
    bytes->clear();
    char chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes->append(chunk, got);
    bool failed = std::ferror(file) != 0;
    std::fclose(file);
    return !failed;
}

PathKind pathKind(const std::string& path) {
    HostFileInfo info;
    std::string why;
    return readHostFileInfo(path, &info, &why) ? info.kind : PathKind::missing;
}

#ifdef _WIN32

namespace {

std::wstring wide(const std::string& text) {
    int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(count), L'\0');
    if (count) MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], count);
    return out;
}

std::string utf8(const wchar_t* text) {
    int count = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (count <= 1) return "";
    std::string out(static_cast<size_t>(count), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], count, nullptr, nullptr);
    out.pop_back();  // the terminator
    return out;
}

std::string systemErrorText(DWORD code) {
    char text[512];
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                                  sizeof text, nullptr);
    while (length && (text[length - 1] == '\n' || text[length - 1] == '\r' || text[length - 1] == '.')) --length;
    return length ? std::string(text, length) : "error " + std::to_string(code);
}

uint64_t ticksOf(const FILETIME& time) {
    return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

std::FILE* openHostFile(const std::string& path, const char* mode) {
    return _wfopen(wide(path).c_str(), wide(mode).c_str());
}

// Opened, not merely looked up, so that a link reports what it leads to.
bool readHostFileInfo(const std::string& path, HostFileInfo* info, std::string* why) {
    HANDLE handle = CreateFileW(wide(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return *why = systemErrorText(GetLastError()), false;
    BY_HANDLE_FILE_INFORMATION data;
    bool read = GetFileInformationByHandle(handle, &data) != 0;
    DWORD type = GetFileType(handle);
    DWORD code = GetLastError();
    CloseHandle(handle);
    if (!read) return *why = systemErrorText(code), false;
    bool folder = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    info->kind = folder ? PathKind::folder : type == FILE_TYPE_DISK ? PathKind::file : PathKind::other;
    info->size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    info->readOnly = (data.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0;
    info->lastWriteTime = ticksOf(data.ftLastWriteTime);
    return true;
}

bool listFolderNames(const std::string& folder, std::vector<std::string>* names, std::string* why) {
    WIN32_FIND_DATAW item;
    HANDLE find = FindFirstFileExW(wide(folder + "\\*").c_str(), FindExInfoBasic, &item, FindExSearchNameMatch,
                                   nullptr, 0);
    if (find == INVALID_HANDLE_VALUE) return *why = systemErrorText(GetLastError()), false;
    do {
        std::string name = utf8(item.cFileName);
        if (name != "." && name != "..") names->push_back(name);
    } while (FindNextFileW(find, &item));
    DWORD code = GetLastError();
    FindClose(find);
    if (code != ERROR_NO_MORE_FILES) return *why = systemErrorText(code), false;
    return true;
}

bool isAbsolutePath(const std::string& path) {
    if (!path.empty() && (path[0] == '/' || path[0] == '\\')) return true;
    bool letter = path.size() >= 2 && ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z'));
    return letter && path[1] == ':';
}

std::string folderOf(const std::string& path) {
    size_t separator = path.find_last_of("/\\");
    if (separator == std::string::npos) return path.size() >= 2 && path[1] == ':' ? path.substr(0, 2) : "";
    return path.substr(0, separator + 1);
}

int seekHostFile(std::FILE* file, uint64_t offset, int whence) {
    return _fseeki64(file, static_cast<__int64>(offset), whence);
}

int64_t tellHostFile(std::FILE* file) { return _ftelli64(file); }

std::FILE* createTemporaryBeside(const std::string& target, std::string* path) {
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    uint64_t seed = GetTickCount64() ^ (static_cast<uint64_t>(GetCurrentProcessId()) << 32);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = target + ".tmp-";
        uint64_t value = seed + static_cast<uint64_t>(attempt) * 7919;
        for (int i = 0; i < 6; ++i, value /= 36) name += letters[value % 36];
        int fd = -1;
        errno_t code = _wsopen_s(&fd, wide(name).c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY, _SH_DENYNO,
                                 _S_IREAD | _S_IWRITE);
        if (code == EEXIST) continue;
        if (code != 0 || fd < 0) return nullptr;
        std::FILE* file = _fdopen(fd, "w+b");
        if (!file) {
            _close(fd);
            _wremove(wide(name).c_str());
            return nullptr;
        }
        *path = name;
        return file;
    }
    errno = EEXIST;
    return nullptr;
}

bool makeExecutable(std::FILE*) { return true; }

bool replaceHostFile(const std::string& from, const std::string& to) {
    if (MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

bool removeHostFile(const std::string& path) { return _wremove(wide(path).c_str()) == 0; }

std::string ownProgramPath() {
    std::wstring path(32768, L'\0');
    DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) return "";
    path.resize(length);
    return utf8(path.c_str());
}

bool isTerminal(std::FILE* stream) {
    HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(stream)));
    DWORD mode;
    return handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode) != 0;
}

#else

std::FILE* openHostFile(const std::string& path, const char* mode) { return std::fopen(path.c_str(), mode); }

bool readHostFileInfo(const std::string& path, HostFileInfo* info, std::string* why) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return *why = std::strerror(errno), false;
    info->kind = S_ISDIR(st.st_mode) ? PathKind::folder : S_ISREG(st.st_mode) ? PathKind::file : PathKind::other;
    info->size = static_cast<uint64_t>(st.st_size);
    info->readOnly = (st.st_mode & S_IWUSR) == 0;
    info->lastWriteTime = unixToFileTime(st.st_mtim.tv_sec, static_cast<uint32_t>(st.st_mtim.tv_nsec));
    return true;
}

bool listFolderNames(const std::string& folder, std::vector<std::string>* names, std::string* why) {
    DIR* dir = opendir(folder.c_str());
    if (!dir) return *why = std::strerror(errno), false;
    errno = 0;
    while (dirent* item = readdir(dir)) {
        std::string name = item->d_name;
        if (name != "." && name != "..") names->push_back(name);
    }
    int code = errno;
    closedir(dir);
    if (code != 0) return *why = std::strerror(code), false;
    return true;
}

bool isAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

int seekHostFile(std::FILE* file, uint64_t offset, int whence) {
    return fseeko(file, static_cast<off_t>(offset), whence);
}

int64_t tellHostFile(std::FILE* file) { return static_cast<int64_t>(ftello(file)); }

std::FILE* createTemporaryBeside(const std::string& target, std::string* path) {
    std::string pattern = target + ".tmp-XXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) return nullptr;
    std::FILE* file = fdopen(fd, "w+b");
    if (!file) {
        int code = errno;
        ::close(fd);
        std::remove(pattern.c_str());
        errno = code;
        return nullptr;
    }
    *path = pattern;
    return file;
}

bool makeExecutable(std::FILE* file) { return fchmod(fileno(file), 0755) == 0; }

bool replaceHostFile(const std::string& from, const std::string& to) { return std::rename(from.c_str(), to.c_str()) == 0; }

bool removeHostFile(const std::string& path) { return std::remove(path.c_str()) == 0; }

std::string ownProgramPath() {
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof path);
    if (length <= 0 || static_cast<size_t>(length) >= sizeof path) return "";
    return std::string(path, static_cast<size_t>(length));
}

bool isTerminal(std::FILE* stream) { return isatty(fileno(stream)) == 1; }

#endif
