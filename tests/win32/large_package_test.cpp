// A setup file of more than 2 GiB under Wine: the package is verified and its script read from
// behind the 2 GiB mark, and a file whose data lies there is extracted with its bytes. The file is
// sparse: a skipped entry's data of 2 GiB is a hole, only a few hundred KiB are written.
#include <gtest/gtest.h>

#include "fresh_state.h"
#include <windows.h>

#include <string>
#include <vector>

#include "format/package_format.h"
#include "install/file_area.h"
#include "script/setup_state.h"
#include "startup/package_file.h"
#include "support/heap.h"
#include "system/file_system.h"

namespace {
using Bytes = std::vector<BYTE>;

const DWORD imageSize = 0x400;               // the program image before the package
const DWORD holeSize = 0x80000000u + 0x3000;  // the skipped entry's data: the hole
const DWORD adlerBase = 65521;

std::string root() { return "C:\\velkorin-large"; }

void put32(Bytes* out, DWORD v) {
    for (int i = 0; i < 4; ++i) out->push_back(BYTE(v >> (8 * i)));
}
void set32(Bytes* out, size_t at, DWORD v) {
    for (int i = 0; i < 4; ++i) (*out)[at + i] = BYTE(v >> (8 * i));
}

Bytes pattern(size_t size, unsigned seed) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) data[i] = BYTE((i * 167 + seed) ^ (i >> 11));
    return data;
}

// A zlib stream of stored blocks ending in a sync flush, as the builder ends its streams.
Bytes storedStream(const Bytes& data) {
    Bytes out = {0x78, 0x01};
    for (size_t at = 0; at < data.size(); at += 0xFFFF) {
        size_t n = std::min<size_t>(0xFFFF, data.size() - at);
        out.insert(out.end(), {0x00, BYTE(n), BYTE(n >> 8), BYTE(~n), BYTE(~n >> 8)});
        out.insert(out.end(), data.begin() + at, data.begin() + at + n);
    }
    out.insert(out.end(), {0x00, 0x00, 0x00, 0xFF, 0xFF});
    return out;
}

// Adler-32 kept as its two sums, so that a run of zeros is added without reading it.
struct Adler {
    DWORD a = 1, b = 0;
    void add(const BYTE* data, size_t size) {
        for (size_t i = 0; i < size; ++i) {
            a = (a + data[i]) % adlerBase;
            b = (b + a) % adlerBase;
        }
    }
    void addZeros(DWORD count) { b = DWORD((b + ULONGLONG(count % adlerBase) * a) % adlerBase); }
    DWORD value() const { return b << 16 | a; }
};

// A file entry of raw or compressed data; returns the offset of its data in `out`.
size_t putFile(Bytes* out, const std::string& name, DWORD size, DWORD storedSize, bool compressed) {
    out->insert(out->end(), name.begin(), name.end() + 1);
    put32(out, 0);  // depth: the group's own folder
    out->push_back(BYTE(fileEntryIsFile | (compressed ? fileEntryCompressed : 0)));
    const DWORD data[] = {FILE_ATTRIBUTE_ARCHIVE, 0x12340000u, 0x01D80000u, 0x5A5A0000u, 0x01D9A000u, 0x5A5A0000u,
                          0x01D9A000u, 0, size, 0, 0, storedSize};
    for (DWORD v : data) put32(out, v);
    return out->size();
}

// The setup file: the bytes in front of the hole, the hole, the bytes behind it.
struct LargeSetup {
    Bytes front, back;
    Bytes raw = pattern(200000, 1), inflated = pattern(150000, 2);
    DWORD rawAt = 0, streamAt = 0;  // file offsets of the two files' data

    LargeSetup() {
        front.assign(imageSize + sizeof(PackageHeader), 'M');
        size_t group = front.size();
        for (DWORD v : {DWORD(0), DWORD(overwriteNever), DWORD(compareByTime), DWORD(0), DWORD(0)}) put32(&front, v);
        std::string destination = root() + "\\App";
        front.insert(front.end(), destination.begin(), destination.end() + 1);
        putFile(&front, "skipped.bin", holeSize, holeSize, false);
        DWORD backAt = DWORD(front.size()) + holeSize;
        rawAt = backAt + DWORD(putFile(&back, "beyond.bin", DWORD(raw.size()), DWORD(raw.size()), false));
        back.insert(back.end(), raw.begin(), raw.end());
        Bytes stream = storedStream(inflated);
        streamAt = backAt + DWORD(putFile(&back, "beyond-stream.bin", DWORD(inflated.size()), DWORD(stream.size()), true));
        back.insert(back.end(), stream.begin(), stream.end());
        DWORD areaEnd = backAt + DWORD(back.size()) - imageSize;
        set32(&front, group, areaEnd);
        PackageHeader header = {sizeof(PackageHeader), areaEnd, 0};
        memcpy(&front[imageSize], &header, sizeof(header));
        // The script: its end record alone.
        Bytes script;
        put32(&script, scriptEnd);
        put32(&script, 0);
        Bytes scriptStream = storedStream(script);
        put32(&back, DWORD(script.size()));
        back.insert(back.end(), scriptStream.begin(), scriptStream.end());
        front[dosPackageOffsetAt] = BYTE(imageSize);
        front[dosPackageOffsetAt + 1] = BYTE(imageSize >> 8);
        set32(&front, dosScriptReadSizeAt, DWORD(scriptStream.size()));
        Adler sum;
        sum.add(front.data() + checksumStart, front.size() - checksumStart);
        sum.addZeros(holeSize);
        sum.add(back.data(), back.size());
        set32(&front, dosFileChecksumAt, sum.value());
    }
    ULONGLONG size() const { return front.size() + ULONGLONG(holeSize) + back.size(); }

    // Writes the file with the hole left unwritten.
    bool write(const std::string& path) const {
        HANDLE out = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (out == INVALID_HANDLE_VALUE) return false;
        DWORD written = 0, backWritten = 0;
        LARGE_INTEGER behind;
        behind.QuadPart = LONGLONG(front.size()) + holeSize;
        bool done = WriteFile(out, front.data(), DWORD(front.size()), &written, nullptr) &&
                    SetFilePointerEx(out, behind, nullptr, FILE_BEGIN) &&
                    WriteFile(out, back.data(), DWORD(back.size()), &backWritten, nullptr) &&
                    written == front.size() && backWritten == back.size();
        CloseHandle(out);
        return done;
    }
};

Bytes readAll(const std::string& path) {
    Bytes data;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return data;
    data.resize(GetFileSize(file, nullptr));
    DWORD read = 0;
    if (!data.empty()) ReadFile(file, data.data(), DWORD(data.size()), &read, nullptr);
    CloseHandle(file);
    return data;
}

BOOL CALLBACK findBox(HWND window, LPARAM found) {
    char name[16];
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && GetClassNameA(window, name, sizeof(name)) && !lstrcmpA(name, "#32770") &&
        IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Closes every message box of this process with OK until `stop` is set, keeping their texts,
// so that a package refused at start-up fails the test instead of waiting for a user.
struct BoxCloser {
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr), thread = nullptr;
    std::vector<std::string> texts;

    static DWORD WINAPI run(void* parameter) {
        BoxCloser* closer = static_cast<BoxCloser*>(parameter);
        while (WaitForSingleObject(closer->stop, 50) == WAIT_TIMEOUT) {
            HWND box = nullptr;
            EnumWindows(findBox, reinterpret_cast<LPARAM>(&box));
            if (!box) continue;
            char text[1024] = "";
            GetDlgItemTextA(box, 0xFFFF, text, sizeof(text));
            closer->texts.push_back(text);
            SendMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        }
        return 0;
    }
    BoxCloser() { thread = CreateThread(nullptr, 0, run, this, 0, nullptr); }
    std::vector<std::string> finish() {
        SetEvent(stop);
        WaitForSingleObject(thread, 10000);
        CloseHandle(thread);
        CloseHandle(stop);
        return texts;
    }
};

class LargePackage : public ::testing::Test {
protected:
    std::string setupPath = root() + "\\setup.exe", logPath = root() + "\\log.txt";

    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
        state.languageId = 9;
        state.installOk = true;
        state.resumeEvent = CreateEventA(nullptr, TRUE, TRUE, nullptr);
        state.tempFolderPath = tempFolder();
        state.selfFile = INVALID_HANDLE_VALUE;
        deleteTree(root().c_str());
        CreateDirectoryA(root().c_str(), nullptr);
        CreateDirectoryA((root() + "\\App").c_str(), nullptr);
        state.logFile = CreateFileA(logPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    }
    void TearDown() override {
        CloseHandle(state.logFile);
        if (state.selfFile != INVALID_HANDLE_VALUE) CloseHandle(state.selfFile);
        CloseHandle(state.resumeEvent);
        deleteTree(root().c_str());
        closeFreshState();
    }
};

TEST_F(LargePackage, FileWhoseDataLiesBeyond2GiBIsVerifiedAndExtracted) {
    LargeSetup setup;
    ASSERT_GT(setup.rawAt, 0x80000000u);
    ASSERT_GT(setup.size(), 0x80000000ull);
    ASSERT_LT(setup.size(), 0x100000000ull);
    ASSERT_TRUE(setup.write(setupPath)) << "the sparse setup file could not be written";
    // The entry in front of the hole exists already and is never overwritten: its 2 GiB are skipped.
    std::string app = root() + "\\App", old = "kept";
    HANDLE kept = CreateFileA((app + "\\skipped.bin").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(kept, old.data(), DWORD(old.size()), &written, nullptr);
    CloseHandle(kept);

    state.programFilePath = duplicateText(setupPath.c_str());
    state.selfFile = CreateFileA(setupPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(state.selfFile, INVALID_HANDLE_VALUE);
    BoxCloser closer;
    PackageResult verified = verifyPackage();
    bool extracted = verified == packageLoaded && extractFileArea(nullptr);
    std::vector<std::string> boxes = closer.finish();

    ASSERT_EQ(verified, packageLoaded) << "refused with: " << (boxes.empty() ? "(no message)" : boxes[0]);
    EXPECT_EQ(state.recordsRead, 0u) << "the script behind 2 GiB is its end record alone";
    EXPECT_TRUE(extracted);
    EXPECT_TRUE(boxes.empty()) << boxes[0];
    EXPECT_EQ(readAll(app + "\\beyond.bin"), setup.raw) << "raw data at offset " << setup.rawAt;
    EXPECT_EQ(readAll(app + "\\beyond-stream.bin"), setup.inflated) << "a stream at offset " << setup.streamAt;
    EXPECT_EQ(readAll(app + "\\skipped.bin"), Bytes(old.begin(), old.end()));
}
}  // namespace
