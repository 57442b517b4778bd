// checkpoint_tally.cpp -- reading the check-point test build's tally file.
#include "checkpoint_tally.h"

#include <fstream>
#include <sstream>
#include <string>

namespace e2e {

Tally readTally(const std::filesystem::path& file) {
    Tally tally;
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        unsigned number = 0;
        std::string word;
        fields >> number >> word;
        if (word == "stop") {
            tally.stopped = number;
        } else {
            ++tally.passed;
            if (word == "hold") tally.held = number;
        }
        if (number > tally.last) tally.last = number;
    }
    return tally;
}

}  // namespace e2e
