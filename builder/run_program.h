// run_program.h -- runs another program (the signing tool) without a shell, feeding it text on
// its standard input and collecting what it writes.
#pragma once
#include <string>
#include <vector>

struct ProgramResult {
    bool started = false;  // false: the program could not be run at all
    int exitCode = -1;
    std::string output;    // standard output and standard error together
};

// Runs arguments[0] (looked up on PATH) with the arguments; input goes to its standard input.
ProgramResult runProgram(const std::vector<std::string>& arguments, const std::string& input);
// True when a program of this name is found on PATH (or the name is a path to a file).
bool programExists(const std::string& name);
