// file_area.cpp -- the walk over the file area. The package is read through bounded views of the
// program's own file and every file is inflated and written in bounded chunks, so that files of
// any size the format allows install in a 32-bit process; the bytes written are those of
// inflating the whole stream into a zero-filled buffer of the file's size.
#include "install/file_area.h"

#include <zlib.h>

#include "install/directory_chain.h"
#include "install/file_table.h"
#include "install/install_log.h"
#include "install/overwrite.h"
#include "install/shared_files.h"
#include "install/worker_control.h"
#include "script/languages.h"
#include "script/setup_state.h"
#include "script/variables.h"
#include "support/heap.h"
#include "support/system_library.h"
#include "system/file_system.h"
#include "system/paths.h"
#include "system/security.h"
#include "ui/messages.h"

constexpr DWORD viewGranularity = 0x10000;  // views begin at multiples of the allocation granularity
constexpr DWORD viewWindow = 0x400000;      // bytes of the package in view at a time
constexpr DWORD dataChunk = 0x100000;       // input bytes per step of a file's data
constexpr DWORD outputChunk = 0x40000;      // bytes inflated before they are written
constexpr DWORD viewFailed = 0xFFFFFFFF;    // "error" of a data write whose input could not be mapped
constexpr DWORD tableUnreadable = 0x100;    // item kind: the table's bytes could not be mapped

// The layout of FILE_BASIC_INFO: times of 0 and attributes of 0 are left as they are.
struct FileBasics {
    FILETIME created, accessed, written, changed;
    DWORD attributes;
    DWORD padding;
};
static_assert(sizeof(FileBasics) == 40, "FILE_BASIC_INFO is 40 bytes");
typedef BOOL(WINAPI* SetInformationByHandle)(HANDLE, int, void*, DWORD);
constexpr int fileBasicInfo = 0;  // FileBasicInfo of FILE_INFO_BY_HANDLE_CLASS

struct PackageView {
    HANDLE mapping;
    const BYTE* base;  // the current view, or null
    DWORD start;       // its file offset
    DWORD size;
    DWORD fileSize;
};

struct FileArea {
    HWND page;
    PackageView view;
    DWORD packageStart;
    DWORD entryPercent;     // the bar's position set before the current entry
    DWORD lastPercent;
    BYTE* buffer;           // outputChunk bytes: inflated data, zero fill
    StringList pathStack;   // item 0 the group's destination, item k+1 the folder of level k
    TableCursor cursor;
    FileGroupHeader group;  // the current group's rules
    SetInformationByHandle setInformation;  // Windows Vista on; null before
};

// The file's bytes at offset with *available of them in view: at least min(want, the rest of the
// file), want being at most viewWindow - viewGranularity. Null when no view can be mapped.
static const BYTE* viewBytes(PackageView* view, DWORD offset, DWORD want, DWORD* available) {
    DWORD rest = view->fileSize - offset;
    if (want > rest) want = rest;
    if (!view->base || offset < view->start || offset - view->start + want > view->size) {
        if (view->base) UnmapViewOfFile(view->base);
        view->start = offset & ~(viewGranularity - 1);
        view->size = view->fileSize - view->start < viewWindow ? view->fileSize - view->start : viewWindow;
        view->base = static_cast<const BYTE*>(MapViewOfFile(view->mapping, FILE_MAP_READ, 0, view->start, view->size));
        if (!view->base) return nullptr;
    }
    *available = view->start + view->size - offset;
    return view->base + (offset - view->start);
}

// ---- the table ---------------------------------------------------------------------------------

static DWORD nextItem(FileArea* area, TableCursor* cursor, TableItem* item) {
    DWORD rest = cursor->areaEnd - cursor->at;
    DWORD want = rest < tableHeaderReach ? rest : tableHeaderReach;
    DWORD available = 0;
    const BYTE* bytes = nullptr;
    if (want && !(bytes = viewBytes(&area->view, area->packageStart + cursor->at, want, &available)))
        return tableUnreadable;
    return readTableItem(cursor, bytes, available, item);
}

// A package whose table cannot be read ends the installation: error text 23 when the file could
// not be mapped, else 16, both with the setup file's path.
static bool reportUnreadable(FileArea* area, DWORD kind) {
    state.installOk = false;
    askError(area->page, kind == tableUnreadable ? 23 : 16, state.programFilePath, nullptr, nullptr,
             MB_OK | MB_ICONHAND);
    return false;
}

// Reads every header of the table before anything is created, so that a damaged package changes
// nothing on the target.
static bool tableIsSound(FileArea* area) {
    if (!startFileTable(&area->cursor, state.package, area->packageStart, area->view.fileSize))
        return reportUnreadable(area, tableDamaged);
    TableCursor check = area->cursor;
    TableItem item;
    DWORD kind;
    while ((kind = nextItem(area, &check, &item)) <= tableFile) {
    }
    return kind == tableEnd || reportUnreadable(area, kind);
}

// ---- folders -----------------------------------------------------------------------------------

static bool startGroup(FileArea* area, const TableItem& item) {
    area->group = item.group;
    listClear(&area->pathStack);
    char* withValues = expandVariables(item.text);
    char* destination = withValues ? expandFolderTokens(withValues) : nullptr;
    heapFree(withValues);
    if (!destination) return false;
    stripTrailingSlash(destination);  // "C:\" joins its entries as "C:\name"
    listAppend(&area->pathStack, destination);
    setPageText(area->page, pageItemLabel, destination);
    DWORD refused = createDirectoryChain(destination, state.logFile, area->page);
    heapFree(destination);
    if (refused) state.installOk = false;
    return !refused;
}

static bool extractFolder(FileArea* area, const TableItem& item) {
    char* path = listJoinItemsAsPath(&area->pathStack, static_cast<int>(item.depth), item.text);
    if (!path) return false;
    setPageText(area->page, pageItemLabel, path);
    bool created, probeDenied;
    DWORD error = createFolder(path, &created, &probeDenied);
    bool goOn = !error || askFolderFailure(area->page, path, path, error, probeDenied, false);
    if (goOn) {
        appendLogLine(state.logFile, "a", path, true, true);
        listSetAt(&area->pathStack, static_cast<int>(item.depth) + 1, item.text);
    }
    heapFree(path);
    return goOn;
}

// ---- opening a target --------------------------------------------------------------------------

static bool replacesExisting(const char* path, const FileGroupHeader& group, const FileEntryData& file) {
    OverwriteFacts facts;
    facts.mode = group.overwriteMode;
    facts.compareBy = group.compareBy;
    WIN32_FIND_DATAA found;
    found.ftLastWriteTime.dwLowDateTime = found.ftLastWriteTime.dwHighDateTime = 0;
    HANDLE search = FindFirstFileA(path, &found);
    if (search != INVALID_HANDLE_VALUE) FindClose(search);
    FILETIME packaged = {file.lastWriteTime.low, file.lastWriteTime.high};
    facts.timeOrder = CompareFileTime(&packaged, &found.ftLastWriteTime);
    facts.packaged.ms = file.versionMs;
    facts.packaged.ls = file.versionLs;
    facts.existingHasVersion = readFileVersion(path, &facts.existing, false);
    return decideOverwrite(facts);
}

static HANDLE createForWriting(const char* path, DWORD flags) {
    return CreateFileA(path, GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, flags, nullptr);
}

// A file in use is written to a temporary copy that replaces it at the next restart.
static HANDLE openDeferred(FileArea* area, const char* path, char** deferred, bool* goOn) {
    char* temp = static_cast<char*>(heapAlloc(textLength(state.tempFolderPath) + 262));
    HANDLE file = INVALID_HANDLE_VALUE;
    if (temp && GetTempFileNameA(state.tempFolderPath, "VKR", 0, temp))
        file = createForWriting(temp, FILE_FLAG_SEQUENTIAL_SCAN | FILE_ATTRIBUTE_TEMPORARY);
    if (file != INVALID_HANDLE_VALUE) {
        *deferred = temp;
        return file;
    }
    DWORD error = GetLastError();
    state.installOk = false;
    if (temp && *temp) DeleteFileA(temp);
    heapFree(temp);
    *goOn = continueAfterError(area->page, 13, path, systemErrorText(error));
    return INVALID_HANDLE_VALUE;
}

// Access denied: error text 2 or 8 when the rights are missing; otherwise, and for any other
// error, text 5 or 11 with the system's text. True for Yes.
static bool askOpenFailure(HWND page, const char* path, bool existed, DWORD error) {
    state.installOk = false;
    if (error == ERROR_ACCESS_DENIED) {
        char* parent = parentPath(path);
        bool granted = true;
        checkAccess(state.threadToken, existed ? path : parent, objectFile, existed ? GENERIC_WRITE : rightAddFile,
                    &granted);
        bool goOn = granted || continueAfterError(page, existed ? 2 : 8, path, parent);
        heapFree(parent);
        if (!granted) return goOn;
    }
    return continueAfterError(page, existed ? 5 : 11, path, systemErrorText(error));
}

// The target (or, for a file in use, its temporary copy in *deferred) opened for writing;
// INVALID_HANDLE_VALUE after a question, *goOn holding the answer.
static HANDLE openTarget(FileArea* area, const char* path, bool existed, char** deferred, bool* goOn) {
    for (;;) {
        HANDLE file = createForWriting(path, FILE_FLAG_SEQUENTIAL_SCAN);
        if (file != INVALID_HANDLE_VALUE) return file;
        DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) {
            *goOn = askOpenFailure(area->page, path, existed, error);
            return INVALID_HANDLE_VALUE;
        }
        // In use: a shared group defers at once, any other asks whether to try again.
        const char* question = text(tableMessages, 6);
        if (area->group.sharedGroup || showMessage(area->page, state.setupCaption, question ? question : "", path,
                                                   nullptr, nullptr, MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
            return openDeferred(area, path, deferred, goOn);
    }
}

// ---- the data ----------------------------------------------------------------------------------

static DWORD writeAll(HANDLE file, const BYTE* bytes, DWORD count) {
    DWORD written = 0;
    if (!WriteFile(file, bytes, count, &written, nullptr)) return GetLastError();
    return written == count ? 0 : ERROR_DISK_FULL;
}

// Moves the bar by the share of the area's bytes consumed so far in the current entry.
static void moveProgress(FileArea* area, DWORD consumed) {
    DWORD total = state.package.scriptOffset - state.package.fileAreaOffset;
    if (!total) return;
    DWORD percent = area->entryPercent + static_cast<DWORD>(static_cast<unsigned long long>(consumed) * 100 / total);
    if (percent != area->lastPercent) setProgress(area->page, static_cast<int>(area->lastPercent = percent));
}

// The entry's data from offset done on: at most dataChunk bytes in *count; null when unmapped.
static const BYTE* dataBytes(FileArea* area, const TableItem& item, DWORD done, DWORD* count) {
    DWORD available = 0;
    const BYTE* bytes = viewBytes(&area->view, area->packageStart + item.dataAt + done, dataChunk, &available);
    DWORD rest = item.file.storedSize - done;
    *count = rest < available ? rest : available;
    if (*count > dataChunk) *count = dataChunk;
    return bytes;
}

static DWORD writeStored(FileArea* area, HANDLE file, const TableItem& item) {
    for (DWORD done = 0, count; done < item.file.storedSize; done += count) {
        const BYTE* bytes = dataBytes(area, item, done, &count);
        if (!bytes) return viewFailed;
        if (DWORD error = writeAll(file, bytes, count)) return error;
        moveProgress(area, done + count);
    }
    return 0;
}

static voidpf inflaterAlloc(voidpf, uInt items, uInt size) { return heapAlloc(items * size); }
static void inflaterFree(voidpf, voidpf block) { heapFree(block); }

// Inflates the entry's stream through the buffer into file, at most *left bytes, which counts down
// by what was written. Stops where the stream stops: its input used up, its end, or an error.
static DWORD writeStream(FileArea* area, HANDLE file, const TableItem& item, z_stream* stream, DWORD* left) {
    DWORD consumed = 0;
    for (;;) {
        if (!stream->avail_in && consumed < item.file.storedSize) {
            DWORD count;
            stream->next_in = const_cast<BYTE*>(dataBytes(area, item, consumed, &count));
            if (!stream->next_in) return viewFailed;
            stream->avail_in = count;
            consumed += count;
        }
        bool last = !stream->avail_in;
        int result = inflate(stream, last ? Z_FINISH : Z_NO_FLUSH);
        bool full = !stream->avail_out;
        if (full) {
            DWORD count = static_cast<DWORD>(stream->next_out - area->buffer);
            if (DWORD error = writeAll(file, area->buffer, count)) return error;
            if (!(*left -= count)) return 0;
            stream->next_out = area->buffer;
            stream->avail_out = *left < outputChunk ? *left : outputChunk;
        }
        if (result == Z_NEED_DICT || result == Z_DATA_ERROR || result == Z_STREAM_ERROR || result == Z_STREAM_END)
            return 0;
        if (last && !full) return 0;
        moveProgress(area, consumed - stream->avail_in);
    }
}

// The inflated stream, then zeros up to the entry's extracted size.
static DWORD writeInflated(FileArea* area, HANDLE file, const TableItem& item) {
    DWORD left = item.file.size;
    z_stream stream;
    BYTE* clear = reinterpret_cast<BYTE*>(&stream);
    for (DWORD i = 0; i < sizeof(stream); ++i) clear[i] = 0;
    stream.zalloc = inflaterAlloc;
    stream.zfree = inflaterFree;
    stream.next_out = area->buffer;
    stream.avail_out = left < outputChunk ? left : outputChunk;
    if (left && inflateInit(&stream) == Z_OK) {
        // The package's streams end with a flush, not with zlib's check value, and the whole file's
        // checksum has been verified at the start: the inflater need not sum what it writes (an
        // Adler-32 pass over every byte installed). Its header check stays.
        inflateValidate(&stream, 0);
        DWORD error = writeStream(area, file, item, &stream, &left);
        inflateEnd(&stream);
        if (error) return error;
    }
    // A stream that gave the whole size has written it all. Only a shorter one leaves bytes in
    // the buffer and zeros to add; clearing the buffer for every file would cost a quarter of a
    // megabyte of stores per file, whatever its size.
    if (!left) return 0;
    DWORD pending = static_cast<DWORD>(stream.next_out - area->buffer);
    for (DWORD i = pending; i < outputChunk; ++i) area->buffer[i] = 0;
    while (left) {
        DWORD count = left < outputChunk ? left : outputChunk;
        if (DWORD error = writeAll(file, area->buffer, count)) return error;
        left -= count;
        for (; pending; --pending) area->buffer[pending - 1] = 0;
    }
    return 0;
}

// Writes the entry's data from the file's first byte; a full disk may be freed and the whole data
// written again. True when the data is written; otherwise *goOn holds the answer.
static bool writeData(FileArea* area, HANDLE file, const TableItem& item, const char* path, bool* goOn) {
    for (;;) {
        area->lastPercent = area->entryPercent;
        DWORD error = item.flags & fileEntryCompressed ? writeInflated(area, file, item) : writeStored(area, file, item);
        if (!error) return true;
        if (error == viewFailed) {
            *goOn = reportUnreadable(area, tableUnreadable);
            return false;
        }
        state.installOk = false;
        if (error != ERROR_HANDLE_DISK_FULL && error != ERROR_DISK_FULL) {
            *goOn = continueAfterError(area->page, 15, path, systemErrorText(error));
            return false;
        }
        if (askError(area->page, 14, path, nullptr, nullptr, MB_OKCANCEL | MB_ICONHAND) != IDOK) {
            *goOn = false;
            return false;
        }
        SetFilePointer(file, 0, nullptr, FILE_BEGIN);
    }
}

// Sets the file's times and attributes and closes it. Through the open handle where the system
// can (one call, no second opening of the file by its path: under Wine each opening is a round
// trip to the server); the attributes are or-ed with FILE_ATTRIBUTE_NORMAL, as SetFileAttributesA
// does. Before Vista, or when that call fails: SetFileTime, then SetFileAttributesA by path.
static void stampFile(FileArea* area, HANDLE file, const TableItem& item, const char* target) {
    FileBasics basics;
    basics.created = {item.file.creationTime.low, item.file.creationTime.high};
    basics.accessed = {item.file.lastAccessTime.low, item.file.lastAccessTime.high};
    basics.written = {item.file.lastWriteTime.low, item.file.lastWriteTime.high};
    basics.changed = {0, 0};
    basics.attributes = item.file.attributes | FILE_ATTRIBUTE_NORMAL;
    basics.padding = 0;
    bool stamped = area->setInformation && area->setInformation(file, fileBasicInfo, &basics, sizeof(basics));
    if (!stamped) SetFileTime(file, &basics.created, &basics.accessed, &basics.written);
    CloseHandle(file);
    if (!stamped) SetFileAttributesA(target, item.file.attributes);
}

// The written file gets its times and attributes and its place in the log, or in the restart
// lists when it waits for the restart (no log line then).
static void finishFile(FileArea* area, HANDLE file, const TableItem& item, const char* path, bool existed,
                       const char* deferred) {
    stampFile(area, file, item, deferred ? deferred : path);
    if (deferred) {
        listAppend(&state.rebootReplaceFiles, deferred);
        listAppend(&state.pendingReplacements, path);
        listAppend(&state.rebootReplaceShared, area->group.sharedGroup ? "1" : "0");
    } else if (area->group.sharedGroup) {
        appendLogLine(state.logFile, "g", path, true, false);
        adjustSharedCount(path, false);
    } else {
        appendLogLine(state.logFile, "b", path, !existed, false);
    }
}

static bool installFile(FileArea* area, const TableItem& item, const char* path, bool existed, DWORD attributes) {
    setPageText(area->page, pageItemLabel, path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY))
        SetFileAttributesA(path, attributes & ~FILE_ATTRIBUTE_READONLY);
    char* deferred = nullptr;
    bool goOn = true;
    HANDLE file = openTarget(area, path, existed, &deferred, &goOn);
    if (file == INVALID_HANDLE_VALUE) return goOn;
    if (writeData(area, file, item, path, &goOn)) {
        finishFile(area, file, item, path, existed, deferred);
    } else {
        CloseHandle(file);
        if (deferred) DeleteFileA(deferred);
        else if (!existed) DeleteFileA(path);
    }
    heapFree(deferred);
    return goOn;
}

// Whether the target exists, and its attributes (INVALID_FILE_ATTRIBUTES when unknown). The
// attribute query needs no listing of the folder; only when it fails for another reason than
// "not found" (a file the system keeps open, say) does the folder listing answer.
static bool targetExists(const char* path, DWORD* attributes) {
    *attributes = GetFileAttributesA(path);
    if (*attributes != INVALID_FILE_ATTRIBUTES) return true;
    DWORD error = GetLastError();
    return !isNotFound(error) && pathExists(path);
}

static bool extractFile(FileArea* area, const TableItem& item) {
    char* path = listJoinItemsAsPath(&area->pathStack, static_cast<int>(item.depth), item.text);
    if (!path) return false;
    DWORD attributes;
    bool existed = targetExists(path, &attributes);
    bool goOn = true;
    if (!existed || area->group.overwriteMode == overwriteAlways || replacesExisting(path, area->group, item.file))
        goOn = installFile(area, item, path, existed, attributes);
    heapFree(path);
    return goOn;
}

// ---- the walk ----------------------------------------------------------------------------------

static bool walkFileArea(FileArea* area) {
    DWORD total = state.package.scriptOffset - state.package.fileAreaOffset;
    TableItem item;
    for (;;) {
        DWORD kind = nextItem(area, &area->cursor, &item);
        if (kind == tableEnd) return true;
        if (kind > tableFile) return reportUnreadable(area, kind);
        if (!workerCheckPoint()) return false;
        if (kind == tableGroup) {
            if (!startGroup(area, item)) return false;
            continue;
        }
        area->entryPercent = static_cast<DWORD>(
            static_cast<unsigned long long>(item.at - state.package.fileAreaOffset) * 100 / total);
        setProgress(area->page, static_cast<int>(area->entryPercent));
        if (!(kind == tableFolder ? extractFolder(area, item) : extractFile(area, item))) return false;
    }
}

bool extractFileArea(HWND page) {
    FileArea area;
    BYTE* clear = reinterpret_cast<BYTE*>(&area);
    for (DWORD i = 0; i < sizeof(area); ++i) clear[i] = 0;
    area.page = page;
    area.packageStart = state.packageOffset;
    area.view.fileSize = GetFileSize(state.selfFile, nullptr);
    area.view.mapping = CreateFileMappingA(state.selfFile, nullptr, PAGE_READONLY, 0, 0, nullptr);
    area.buffer = static_cast<BYTE*>(heapAlloc(outputChunk));
    loadVersionFunctions();
    findFunction(GetModuleHandleA("KERNEL32.DLL"), "SetFileInformationByHandle", &area.setInformation);
    bool done = area.view.mapping && area.buffer && listCreate(&area.pathStack, 8) && tableIsSound(&area) &&
                walkFileArea(&area);
    if (area.view.base) UnmapViewOfFile(area.view.base);
    if (area.view.mapping) CloseHandle(area.view.mapping);
    heapFree(area.buffer);
    listDestroy(&area.pathStack);
    return done;
}
