// checkpoint_tally.h -- the tally file of the check-point test build of the stub
// (tests/stub_variants/counted_check_point.cpp): one line per check point reached, "N" when it
// let the worker go on, "N stop" when it stopped it, "N hold" when it held it.
#pragma once
#include <filesystem>

namespace e2e {

struct Tally {
    unsigned passed = 0;   // check points that let the worker go on (a held one too)
    unsigned stopped = 0;  // the check point that stopped it; 0 when none did
    unsigned held = 0;     // the check point that holds (or held) it; 0 when none did
    unsigned last = 0;     // the highest number seen
};

// The tally file as it is now (a missing file: nothing reached yet).
Tally readTally(const std::filesystem::path& file);

}  // namespace e2e
