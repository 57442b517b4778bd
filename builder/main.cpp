// main.cpp -- velkorin-pack: the command line over the builder library. Each subcommand is one
// row of the table below: its name, its help text, how it declares its options and what it runs.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <fstream>
#include <iostream>

#include "package_dump.h"
#include "package_writer.h"
#include "project.h"

#ifndef VELKORIN_DEFAULT_STUB
#define VELKORIN_DEFAULT_STUB "velkorin.exe"
#endif

namespace {

struct Options {
    std::string project, output, stub = VELKORIN_DEFAULT_STUB, setup;
    unsigned threads = 0;
    bool quiet = false;
    SigningOptions signing;
};

int fail(const std::string& message) {
    std::fprintf(stderr, "velkorin-pack: %s\n", message.c_str());
    return 1;
}

int runBuild(const Options& o) {
    Project project;
    std::string err;
    if (!loadProject(o.project, &project, &err)) return fail(err);
    BuildOptions build{o.stub, o.output, o.threads, o.signing};
    if (build.signing.enabled && build.signing.description.empty()) build.signing.description = project.productTitle;
    BuildSummary s;
    if (!buildSetup(project, build, &s, &err)) return fail(err);
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
    std::ifstream in(o.setup, std::ios::binary);
    if (!in) return fail(o.setup + ": cannot open");
    Bytes file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
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
    c->add_flag("-q,--quiet", o->quiet, "no summary line");
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

int main(int argc, char** argv) {
    CLI::App app{"velkorin-pack: builds and inspects Velkorin setup files"};
    app.require_subcommand(1);
    Options options;
    std::vector<std::pair<CLI::App*, const Subcommand*>> commands;
    for (const Subcommand& s : subcommands) {
        CLI::App* command = app.add_subcommand(s.name, s.help);
        s.declare(command, &options);
        commands.push_back({command, &s});
    }
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
