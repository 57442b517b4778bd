// main.cpp -- velkorin-stub-image: writes the shipped velkorin.exe from the linked stub and
// prints the build report. Fails when the image reaches the limit that the 16-bit package
// offset sets.
//
// Usage: velkorin-stub-image LINKED.exe SHIPPED.exe [LINK.map]
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

#include "format/package_format.h"
#include "shipped_image.h"

namespace {

int fail(const std::string& message) {
    std::fprintf(stderr, "velkorin-stub-image: %s\n", message.c_str());
    return 1;
}

bool readAll(const char* path, std::string* text) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    text->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

// Writes the file unless it already holds these bytes (its time then stays as it was).
bool writeIfChanged(const char* path, const Bytes& bytes) {
    std::string old;
    if (readAll(path, &old) && old.size() == bytes.size() && std::equal(bytes.begin(), bytes.end(), old.begin()))
        return true;
    std::string temporary = std::string(path) + ".tmp";
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out) return false;
    }
    return std::rename(temporary.c_str(), path) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) return fail("usage: velkorin-stub-image LINKED.exe SHIPPED.exe [LINK.map]");
    std::string linkedText, mapText, err;
    if (!readAll(argv[1], &linkedText)) return fail(std::string(argv[1]) + ": cannot read");
    Bytes linked(linkedText.begin(), linkedText.end()), shipped;
    ShippedReport report;
    if (!writeShippedImage(linked, &shipped, &report, &err)) return fail(std::string(argv[1]) + ": " + err);
    if (argc == 4 && readAll(argv[3], &mapText)) report.inflaterSize = inflaterBytesInMap(mapText);
    std::fputs(formatReport(report, maxStubSize).c_str(), stdout);
    std::fflush(stdout);
    if (shipped.size() >= maxStubSize) {
        std::remove(argv[2]);  // no stale image may stand in for the one that does not fit
        return fail(std::to_string(shipped.size()) + " bytes: the stub must stay below 65,536 bytes");
    }
    if (!writeIfChanged(argv[2], shipped)) return fail(std::string(argv[2]) + ": cannot write");
    return 0;
}
