// signing.cpp -- the signing tool's command line, and running it.
#include "signing.h"

#include <cctype>
#include <cstdlib>
#include <algorithm>
#include <cstdio>

#include "host_files.h"
#include "run_program.h"

namespace {

bool isSigntool(const std::string& tool) {
    std::string name = tool.substr(tool.find_last_of("/\\") + 1);
    for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name == "signtool" || name == "signtool.exe";
}

std::string defaultTool() {
#ifdef _WIN32
    if (programExists("signtool")) return "signtool";
#endif
    return "osslsigncode";
}

std::string toolOf(const SigningOptions& options) { return options.tool.empty() ? defaultTool() : options.tool; }

// The password, read from its file or its environment variable; "" when there is none.
bool readPassword(const SigningOptions& options, std::string* password, std::string* err) {
    password->clear();
    if (!options.passwordVariable.empty()) {
        const char* value = std::getenv(options.passwordVariable.c_str());
        if (!value) return *err = "--password-env: the variable " + options.passwordVariable + " is not set", false;
        *password = value;
    } else if (!options.passwordFile.empty()) {
        if (!readHostFile(options.passwordFile, password))
            return *err = options.passwordFile + ": cannot read the password file", false;
        password->erase(std::min(password->find('\n'), password->size()));  // the first line
        if (!password->empty() && password->back() == '\r') password->pop_back();
    }
    return true;
}

// The time the signature states: SOURCE_DATE_EPOCH when set, so that a build without a
// time-stamp server gives the same bytes every time.
std::string signingTime() {
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    return epoch && *epoch ? epoch : "";
}

}  // namespace

bool checkSigningOptions(const SigningOptions& o, std::string* err) {
    if (!o.enabled) return true;
    bool pair = !o.certificate.empty() || !o.key.empty();
    if (pair && !o.pkcs12.empty()) return *err = "--sign: give --certificate and --key, or --pkcs12, not both", false;
    if (o.pkcs12.empty() && (o.certificate.empty() || o.key.empty()))
        return *err = "--sign needs --certificate and --key, or --pkcs12", false;
    if (!o.passwordFile.empty() && !o.passwordVariable.empty())
        return *err = "--sign: give --password-file or --password-env, not both", false;
    if (isSigntool(toolOf(o)) && o.pkcs12.empty())
        return *err = "--sign: signtool signs with a PKCS#12 file (--pkcs12)", false;
    for (const std::string* file : {&o.certificate, &o.key, &o.pkcs12, &o.passwordFile})
        if (!file->empty() && pathKind(*file) != PathKind::file) return *err = *file + ": cannot open", false;
    if (!programExists(toolOf(o)))
        return *err = "--sign: the signing tool " + toolOf(o) + " was not found (install osslsigncode, or name it with --signer)", false;
    return true;
}

std::vector<std::string> signingCommand(const SigningOptions& o, const std::string& input, const std::string& output,
                                        bool* passwordOnInput) {
    std::string tool = toolOf(o);
    *passwordOnInput = false;
    if (isSigntool(tool)) {
        std::vector<std::string> command = {tool, "sign", "/fd", "sha256", "/f", o.pkcs12};
        if (!o.passwordFile.empty() || !o.passwordVariable.empty()) command.insert(command.end(), {"/p", "<password>"});
        if (!o.description.empty()) command.insert(command.end(), {"/d", o.description});
        if (!o.timestampUrl.empty()) command.insert(command.end(), {"/tr", o.timestampUrl, "/td", "sha256"});
        command.push_back(output);
        return command;
    }
    std::vector<std::string> command = {tool, "sign", "-h", "sha256"};
    if (!o.pkcs12.empty()) command.insert(command.end(), {"-pkcs12", o.pkcs12});
    else command.insert(command.end(), {"-certs", o.certificate, "-key", o.key});
    if (!o.passwordFile.empty() || !o.passwordVariable.empty()) {
        command.insert(command.end(), {"-readpass", "-"});  // from standard input: never on a command line
        *passwordOnInput = true;
    }
    if (!o.description.empty()) command.insert(command.end(), {"-n", o.description});
    if (!o.timestampUrl.empty()) command.insert(command.end(), {"-ts", o.timestampUrl});
    if (!signingTime().empty()) command.insert(command.end(), {"-time", signingTime()});
    command.insert(command.end(), {"-in", input, "-out", output});
    return command;
}

bool signFile(const SigningOptions& o, const std::string& input, const std::string& output, std::string* err) {
    std::string password;
    if (!readPassword(o, &password, err)) return false;
    bool onInput;
    std::vector<std::string> command = signingCommand(o, input, output, &onInput);
    if (isSigntool(command[0])) {
        // signtool signs the file in place and takes the password only as an argument.
        std::string bytes;
        std::FILE* to = readHostFile(input, &bytes) ? openHostFile(output, "wb") : nullptr;
        bool copied = to && std::fwrite(bytes.data(), 1, bytes.size(), to) == bytes.size();
        if (to && std::fclose(to) != 0) copied = false;
        if (!copied) return *err = output + ": cannot copy the file to sign", false;
        for (std::string& argument : command)
            if (argument == "<password>") argument = password;
    }
    ProgramResult result = runProgram(command, onInput ? password + "\n" : "");
    if (!result.started) return *err = command[0] + ": cannot run the signing tool", false;
    if (result.exitCode != 0)
        return *err = command[0] + " failed (exit code " + std::to_string(result.exitCode) + "):\n" + result.output, false;
    return true;
}
