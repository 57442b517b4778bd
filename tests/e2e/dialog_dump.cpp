// dialog_dump.cpp -- the driver's `dump` output read back into controls.
#include "dialog_dump.h"

#include <cstdlib>
#include <sstream>

namespace e2e {

const Control* DialogDump::find(int id) const {
    for (const Control& control : controls)
        if (control.id == id) return &control;
    return nullptr;
}

std::optional<std::string> DialogDump::text(int id) const {
    const Control* control = find(id);
    if (!control) return std::nullopt;
    return control->text;
}

std::string unescape(const std::string& text) {
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            plain += text[i];
            continue;
        }
        char next = text[++i];
        plain += next == 't' ? '\t' : next == 'r' ? '\r' : next == 'n' ? '\n' : next;
    }
    return plain;
}

std::vector<std::string> splitTabs(const std::string& line, size_t parts) {
    std::vector<std::string> pieces;
    size_t at = 0;
    while (pieces.size() + 1 < parts) {
        size_t tab = line.find('\t', at);
        if (tab == std::string::npos) break;
        pieces.push_back(line.substr(at, tab - at));
        at = tab + 1;
    }
    pieces.push_back(line.substr(at));
    return pieces;
}

DialogDump parseDialogDump(const std::string& output) {
    DialogDump dump;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::vector<std::string> fields = splitTabs(line, 3);
        if (fields[0] == "dialog" && fields.size() >= 2) {
            dump.handle = fields[1];
        } else if (fields[0] == "caption" && fields.size() >= 2) {
            dump.caption = unescape(line.substr(8));
        } else if (fields.size() == 3 && !fields[0].empty() && isdigit(static_cast<unsigned char>(fields[0][0]))) {
            dump.controls.push_back({std::atoi(fields[0].c_str()), fields[1], unescape(fields[2])});
        }
    }
    return dump;
}

}  // namespace e2e
