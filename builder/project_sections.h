// project_sections.h -- the readers of the project's sections beyond the product and its files,
// each over the root table (or its node) of the project file.
#pragma once
#include "project.h"
#include "project_reader.h"

// [languages]: the offered languages and auto-selection; sets the reader's code page.
bool readLanguages(Reader& reader, const toml::table& root, Project* p);
// [texts] overrides, the text packs, completeness and conversion of every offered language.
bool readTexts(Reader& reader, const toml::table& root, Project* p);
// [requirements]
bool readRequirements(Reader& reader, const toml::table& root, Project* p);
// [setup_file]: icon, version information and execution level of the setup file
bool readSetupFile(Reader& reader, const toml::table& root, Project* p);
// [background] with its [[background.texts]]
bool readBackground(Reader& reader, const toml::table& root, Project* p);
// [[shortcuts]], [[registry]], [[ini]], [[associations]], [[launches]], [[dll_calls]]
bool readShortcuts(Reader& reader, const toml::node& node, Project* p);
bool readRegistry(Reader& reader, const toml::node& node, Project* p);
bool readIni(Reader& reader, const toml::node& node, Project* p);
bool readAssociations(Reader& reader, const toml::node& node, Project* p);
bool readLaunches(Reader& reader, const toml::node& node, Project* p);
bool readDllCalls(Reader& reader, const toml::node& node, Project* p);
