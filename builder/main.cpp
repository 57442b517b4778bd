// main.cpp -- velkorin-pack: the command line over the builder library. Each subcommand is one
// row of the table below: its name, its help text, how it declares its options and what it runs.
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "host_files.h"
#include "install_layout.h"
#include "package_dump.h"
#include "package_writer.h"
#include "progress_line.h"
#include "project.h"

#ifdef _WIN32
#include <windows.h>
#endif

#ifndef VELKORIN_DEFAULT_STUB
#define VELKORIN_DEFAULT_STUB "velkorin.exe"
#endif

namespace {

struct Options {
    std::string project, output, stub, setup;
    unsigned threads = 0;
    bool quiet = false;
    SigningOptions signing;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "velkorin-pack: %s\n", message.c_str());
    return 1;
}

// SOURCE_DATE_EPOCH, when set, is the latest time the package states: later file times are
// written as this one (a fresh checkout gives every file the time of the checkout).
bool latestTimeFromEnvironment(uint64_t* latest, std::string* err) {
    *latest = 0;
    const char* epoch = std::getenv("SOURCE_DATE_EPOCH");
    if (!epoch || !*epoch) return true;
    char* end = nullptr;
    errno = 0;
    long long seconds = std::strtoll(epoch, &end, 10);
    if (*end || errno || seconds < 0)
        return *err = std::string("SOURCE_DATE_EPOCH: expected seconds since 1970, not '") + epoch + "'", false;
    *latest = unixToFileTime(seconds, 0);
    return true;
}

int runBuild(const Options& o) {
    Project project;
    std::string err;
    if (!loadProject(o.project, &project, &err)) return fail(err);
    BuildOptions build{o.stub, o.output, o.threads, o.signing, 0, nullptr};
    if (!latestTimeFromEnvironment(&build.latestTime, &err)) return fail(err);
    if (build.signing.enabled && build.signing.description.empty()) build.signing.description = project.productTitle;
    // The progress line only where someone watches: on a terminal, and not with --quiet.
    ProgressLine line(stderr);
    if (!o.quiet && isTerminal(stderr)) build.progress = [&line](const BuildProgress& p) { line.update(p); };
    BuildSummary s;
    bool built = buildSetup(project, build, &s, &err);
    line.finish();
    if (!built) return fail(err);
    if (!o.quiet)
        for (const std::string& note : s.resources.notes) std::fprintf(stderr, "velkorin-pack: %s\n", note.c_str());
    if (!o.quiet)
        std::fprintf(stderr, "%s: %llu bytes (stub %u, %u files, %u folders, %u bytes to install, script %u -> %u)\n",
                     o.output.c_str(), static_cast<unsigned long long>(s.setupSize), s.stubSize, s.files, s.folders,
                     s.requiredSpace, s.scriptSize, s.scriptStreamSize);
    if (!o.quiet && s.resources.written)
        std::fprintf(stderr, "%s: execution level %s%s, %u icon images, resources %u bytes\n", o.output.c_str(),
                     levelName(s.resources.level), s.resources.levelByRule ? " (by default)" : "",
                     s.resources.iconImages, s.resources.resourceSize);
    if (!o.quiet && o.signing.enabled) std::fprintf(stderr, "%s: signed\n", o.output.c_str());
    return 0;
}

int runInspect(const Options& o) {
    std::string bytes;
    if (!readHostFile(o.setup, &bytes)) return fail(o.setup + ": cannot open");
    Bytes file(bytes.begin(), bytes.end());
    std::string report;
    InspectResult result = inspectSetup(file, &report);
    std::fputs(report.c_str(), stdout);
    return result == InspectResult::checksumOk || result == InspectResult::noPackage ? 0 : 1;
}

void declareBuild(CLI::App* c, Options* o) {
    c->add_option("project", o->project, "project file (TOML)")->required();
    c->add_option("-o,--output", o->output, "setup file to write")->required();
    c->add_option("--stub", o->stub, "stub program image")->capture_default_str();
    c->add_option("-j,--jobs", o->threads, "compression threads (0: all cores)");
    c->add_flag("-q,--quiet", o->quiet, "no progress line, no summary line and no notes");
    SigningOptions* s = &o->signing;
    c->add_flag("--sign", s->enabled, "sign the setup file (osslsigncode; signtool on Windows when present)");
    c->add_option("--certificate", s->certificate, "signing certificate (PEM or DER), with --key");
    c->add_option("--key", s->key, "the certificate's private key");
    c->add_option("--pkcs12", s->pkcs12, "PKCS#12 file holding certificate and key");
    c->add_option("--password-file", s->passwordFile, "file whose first line is the key's password");
    c->add_option("--password-env", s->passwordVariable, "environment variable holding the key's password");
    c->add_option("--timestamp-url", s->timestampUrl, "RFC 3161 time-stamp server");
    c->add_option("--signer", s->tool, "the signing program to run");
    c->add_option("--description", s->description, "description in the signature (default: the product title)");
}

void declareInspect(CLI::App* c, Options* o) { c->add_option("setup", o->setup, "setup file")->required(); }

struct Subcommand {
    const char* name;
    const char* help;
    void (*declare)(CLI::App*, Options*);
    int (*run)(const Options&);
};

const Subcommand subcommands[] = {
    {"build", "write a setup file from a project file", declareBuild, runBuild},
    {"inspect", "describe a setup file and verify its checksum", declareInspect, runInspect},
};

}  // namespace

#ifdef _WIN32
// The arguments as UTF-8 texts: the C runtime's argv holds them in the ANSI code page, which
// cannot spell every file name.
std::vector<std::string> utf8Arguments() {
    std::vector<std::string> out;
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; arguments && i < count; ++i) {
        int size = WideCharToMultiByte(CP_UTF8, 0, arguments[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(size > 0 ? static_cast<size_t>(size) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, arguments[i], -1, &text[0], size, nullptr, nullptr);
        text.pop_back();
        out.push_back(text);
    }
    LocalFree(arguments);
    return out;
}
#endif

int main(int argc, char** argv) {
    CLI::App app{"velkorin-pack: builds and inspects Velkorin setup files"};
    app.require_subcommand(1);
    Options options;
    options.stub = defaultStubPath(VELKORIN_DEFAULT_STUB);
    std::vector<std::pair<CLI::App*, const Subcommand*>> commands;
    for (const Subcommand& s : subcommands) {
        CLI::App* command = app.add_subcommand(s.name, s.help);
        s.declare(command, &options);
        commands.push_back({command, &s});
    }
#ifdef _WIN32
    std::vector<std::string> texts = utf8Arguments();
    std::vector<char*> pointers;
    for (std::string& text : texts) pointers.push_back(&text[0]);
    if (!pointers.empty()) argc = static_cast<int>(pointers.size()), argv = pointers.data();
#endif
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    for (const auto& [command, s] : commands)
        if (command->parsed()) return s->run(options);
    return 2;
}
