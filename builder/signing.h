// signing.h -- signs a finished setup file with the platform's signing tool: osslsigncode, or
// signtool where the builder runs on Windows and finds it. The builder writes no signature itself.
#pragma once
#include <string>
#include <vector>

struct SigningOptions {
    bool enabled = false;
    std::string certificate, key;  // certificate (PEM or DER) and its private key ...
    std::string pkcs12;            // ... or one PKCS#12 file holding both
    std::string passwordFile;      // the key's password: the first line of a file ...
    std::string passwordVariable;  // ... or the value of an environment variable
    std::string timestampUrl;      // RFC 3161 time-stamp server; "" = no time stamp
    std::string tool;              // the signing program; "" = the platform's default
    std::string description;       // the signed content's description: the product title
};

// Checks the options before anything is built: a certificate with its key or a PKCS#12 file,
// at most one password source, and a tool that is there. False with the reason.
bool checkSigningOptions(const SigningOptions& options, std::string* err);
// The command that signs input into output (signtool signs in place: input is then output).
std::vector<std::string> signingCommand(const SigningOptions& options, const std::string& input,
                                        const std::string& output, bool* passwordOnInput);
// Signs input into output. False with the tool's own words in *err.
bool signFile(const SigningOptions& options, const std::string& input, const std::string& output, std::string* err);
