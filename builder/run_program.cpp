// run_program.cpp -- a child process with pipes: posix_spawn on POSIX systems, CreateProcess on
// Windows.
#include "run_program.h"

#include <cstdlib>
#include <cstring>
#include <sstream>
#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>

namespace {

// One argument quoted the way the Windows C runtime splits a command line.
std::string quoted(const std::string& argument) {
    if (!argument.empty() && argument.find_first_of(" \t\"") == std::string::npos) return argument;
    std::string out = "\"";
    size_t backslashes = 0;
    for (char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        out.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        backslashes = 0;
        out += c;
    }
    out.append(2 * backslashes, '\\');
    return out + "\"";
}

}  // namespace

ProgramResult runProgram(const std::vector<std::string>& arguments, const std::string& input) {
    ProgramResult result;
    std::string line;
    for (const std::string& argument : arguments) line += (line.empty() ? "" : " ") + quoted(argument);
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE inRead, inWrite, outRead, outWrite;
    if (!CreatePipe(&inRead, &inWrite, &inherit, 0)) return result;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0)) {
        CloseHandle(inRead);
        CloseHandle(inWrite);
        return result;
    }
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = startup.hStdError = outWrite;
    PROCESS_INFORMATION process{};
    result.started = CreateProcessA(nullptr, &line[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                                    &startup, &process) != 0;
    CloseHandle(inRead);
    CloseHandle(outWrite);
    if (result.started) {
        DWORD written = 0;
        if (!input.empty()) WriteFile(inWrite, input.data(), static_cast<DWORD>(input.size()), &written, nullptr);
        CloseHandle(inWrite);
        char buffer[4096];
        DWORD got = 0;
        while (ReadFile(outRead, buffer, sizeof buffer, &got, nullptr) && got) result.output.append(buffer, got);
        WaitForSingleObject(process.hProcess, INFINITE);
        DWORD code = 0;
        GetExitCodeProcess(process.hProcess, &code);
        result.exitCode = static_cast<int>(code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    } else {
        CloseHandle(inWrite);
    }
    CloseHandle(outRead);
    return result;
}

#else
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

ProgramResult runProgram(const std::vector<std::string>& arguments, const std::string& input) {
    ProgramResult result;
    int in[2], out[2];
    if (pipe(in) != 0) return result;
    if (pipe(out) != 0) {
        ::close(in[0]);
        ::close(in[1]);
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, out[1], 2);
    for (int fd : {in[0], in[1], out[0], out[1]}) posix_spawn_file_actions_addclose(&actions, fd);
    std::vector<char*> argv;
    for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    result.started = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    ::close(in[0]);
    ::close(out[1]);
    if (result.started) {
        // The tool reads its input (a password, a few bytes) before it writes much.
        if (!input.empty() && write(in[1], input.data(), input.size()) < 0) result.output = "(input not written)\n";
        ::close(in[1]);
        char buffer[4096];
        ssize_t got;
        while ((got = read(out[0], buffer, sizeof buffer)) > 0) result.output.append(buffer, static_cast<size_t>(got));
        int status = 0;
        if (waitpid(pid, &status, 0) == pid && WIFEXITED(status)) result.exitCode = WEXITSTATUS(status);
        // posix_spawnp reports a missing program through exit code 127 on some systems.
        if (result.exitCode == 127 && !programExists(arguments[0])) result.started = false;
    } else {
        ::close(in[1]);
    }
    ::close(out[0]);
    return result;
}
#endif

bool programExists(const std::string& name) {
    struct stat info;
    if (name.find_first_of("/\\") != std::string::npos) return stat(name.c_str(), &info) == 0;
    const char* path = std::getenv("PATH");
#ifdef _WIN32
    const char separator = ';';
    const char* suffixes[] = {"", ".exe"};
#else
    const char separator = ':';
    const char* suffixes[] = {""};
#endif
    std::stringstream folders(path ? path : "");
    std::string folder;
    while (std::getline(folders, folder, separator))
        for (const char* suffix : suffixes)
            if (!folder.empty() && stat((folder + "/" + name + suffix).c_str(), &info) == 0 && S_ISREG(info.st_mode))
                return true;
    return false;
}
