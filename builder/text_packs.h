// text_packs.h -- the text packs shipped inside the builder: one TOML file per language,
// <Language>.toml, keyed by table and item (see builder/texts/).
#pragma once
#include <string>
#include <vector>

// The shipped pack of a language ("German"): its name for messages ("texts/German.toml") and its
// UTF-8 text. False when the builder ships no pack for that language.
bool shippedTextPack(const std::string& language, std::string* name, std::string* text);
// The languages the builder ships a pack for, in file-name order ("Czech", "Dutch", ...).
std::vector<std::string> shippedTextPackLanguages();
