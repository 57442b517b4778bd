// dialog_dump.h -- the driver's `dump` output read back into controls.
#pragma once
#include <optional>
#include <string>
#include <vector>

namespace e2e {

struct Control {
    int id = 0;
    std::string className;
    std::string text;
};

struct DialogDump {
    std::string handle;  // as the driver printed it ("0x1004E"), for its `use` command
    std::string caption;
    std::vector<Control> controls;

    // The first control with this id, or null.
    const Control* find(int id) const;
    // The text of the control with this id; nullopt when there is no such control.
    std::optional<std::string> text(int id) const;
};

// A message box's text is the static control with this id.
constexpr int messageTextId = 0xFFFF;

// Reads `dialog` / `caption` / control lines; texts are unescaped (\\ \t \r \n).
DialogDump parseDialogDump(const std::string& output);
// Undoes the driver's escaping.
std::string unescape(const std::string& text);
// Splits at tabs (at most `parts` pieces: the last keeps any further tabs).
std::vector<std::string> splitTabs(const std::string& line, size_t parts);

}  // namespace e2e
