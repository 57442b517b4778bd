// shell_command.h -- the unit tests' way of running a command as a user would, and of reading
// and writing the files it works on.
#pragma once
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "byte_buffer.h"

struct CommandResult {
    int code;            // the exit code, -1 when the command did not exit normally
    std::string output;  // standard output and standard error together
};

// Runs the command through the shell and collects its output and exit code.
inline CommandResult runShellCommand(const std::string& command) {
    CommandResult result{-1, ""};
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe) return result;
    char buffer[4096];
    size_t got;
    while ((got = fread(buffer, 1, sizeof(buffer), pipe)) > 0) result.output.append(buffer, got);
    int status = pclose(pipe);
    result.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// The bytes of a file (empty when it cannot be read).
inline Bytes readFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Writes the bytes as the whole file.
inline void writeFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}
