// text_packs.h -- the text packs shipped with the builder: one TOML file per language,
// <Language>.toml, keyed by table and item (see builder/texts/), installed in share/velkorin/texts/
// and embedded in the builder as well.
#pragma once
#include <string>
#include <vector>

// The shipped pack of a language ("German"): its name for messages (the installed file's path, or
// "texts/German.toml" for an embedded pack) and its UTF-8 text. The installed pack comes first.
// False when there is no pack for that language.
bool shippedTextPack(const std::string& language, std::string* name, std::string* text);
// The languages the builder ships a pack for, in file-name order ("Czech", "Dutch", ...).
std::vector<std::string> shippedTextPackLanguages();
