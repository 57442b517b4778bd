// script_test_support.h -- a fresh SetupState for each test, and helpers that frame script
// records (type, length, payload) the way the builder writes them.
#pragma once
#include <gtest/gtest.h>

#include "fresh_state.h"

#include <cstdint>
#include <string>
#include <vector>

#include "script/folder_token_table.h"
#include "script/records.h"
#include "script/setup_state.h"
#include "support/heap.h"
#include "support/pointer_array.h"
#include "system_doubles.h"

// Payload pieces: texts keep their terminators, numbers are little-endian.
inline std::string textPiece(const std::string& text) { return text + std::string(1, '\0'); }
inline std::string u8Piece(uint8_t value) { return std::string(1, static_cast<char>(value)); }
inline std::string u16Piece(uint16_t value) { return u8Piece(value & 0xFF) + u8Piece(value >> 8); }
inline std::string u32Piece(uint32_t value) { return u16Piece(value & 0xFFFF) + u16Piece(value >> 16); }

// The record as the walk hands it over: the length word, then exactly the payload.
inline std::vector<BYTE> frameRecord(const std::string& payload) {
    std::vector<BYTE> record;
    std::string length = u32Piece(static_cast<uint32_t>(payload.size()));
    record.insert(record.end(), length.begin(), length.end());
    record.insert(record.end(), payload.begin(), payload.end());
    return record;
}

// A whole script: type, length and payload per record, then the end marker.
inline std::vector<BYTE> frameScript(const std::vector<std::pair<uint32_t, std::string>>& records) {
    std::vector<BYTE> script;
    for (const auto& r : records) {
        std::string type = u32Piece(r.first);
        script.insert(script.end(), type.begin(), type.end());
        std::vector<BYTE> framed = frameRecord(r.second);
        script.insert(script.end(), framed.begin(), framed.end());
    }
    std::string end = u32Piece(scriptEnd);
    script.insert(script.end(), end.begin(), end.end());
    return script;
}

// Path a test gives folder token i: "C:\Token<i>" except for the few tests name explicitly.
inline std::string tokenPath(int index) {
    switch (index) {
    case 9: return "C:\\Users\\me\\Desktop";
    case 16: return "C:\\Program Files";
    case 17: return "C:\\Start\\Programs";
    default: return "C:\\Token" + std::to_string(index);
    }
}

class ScriptStateTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NO_FATAL_FAILURE(openFreshState());
        doubleReset();
    }
    void TearDown() override {
        destroyStateLists();
        freeStateTexts();
        EXPECT_EQ(standinHeapBlockCount(), 0u) << "texts or lists leaked";
        doubleReset();
        unloadPointerArrayFunctions();
        heapDestroy();
    }
    // Fills state.folderPaths as start-up does: one path per token, in table order.
    void resolveTokens() {
        for (int i = 0; i < folderTokenCount; ++i) ASSERT_GE(listAppend(&state.folderPaths, tokenPath(i).c_str()), 0);
    }
    void apply(uint32_t type, const std::string& payload) {
        std::vector<BYTE> record = frameRecord(payload);
        applyRecord(type, record.data());
    }
    static std::string at(const StringList& list, int index) {
        const char* item = listAt(&list, index);
        return item ? item : "<null>";
    }
};
