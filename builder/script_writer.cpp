// script_writer.cpp -- records of the setup script. Each part of the project that becomes records
// has one writer in the table at the bottom; their order is the order of the records.
#include "script_writer.h"

#include <cstdio>

void ScriptWriter::record(uint32_t type, const Bytes& payload) {
    putU32(&bytes_, type);
    putU32(&bytes_, static_cast<uint32_t>(payload.size()));
    bytes_.insert(bytes_.end(), payload.begin(), payload.end());
}

Bytes ScriptWriter::finish() {
    putU32(&bytes_, scriptEnd);
    Bytes out;
    out.swap(bytes_);
    return out;
}

Bytes variablePayload(const Variable& variable) {
    Bytes payload;
    putText(&payload, variable.name);
    putText(&payload, variable.value);
    return payload;
}

// "face,0xRRGGBB": the stub splits it into the face and the colour, which it byte-exchanges.
static std::string fontText(const std::string& face, uint32_t rgb) {
    char colour[16];
    std::snprintf(colour, sizeof(colour), "0x%06X", rgb & 0xFFFFFFu);
    return face + "," + colour;
}

Bytes productPayload(const Project& p) {
    Bytes payload;
    putText(&payload, p.productName);
    putText(&payload, p.productTitle);
    putText(&payload, fontText(p.textFont, p.textColor));
    putU32(&payload, p.pageColor);
    putU32(&payload, p.frameColor);
    putText(&payload, fontText(p.titleFont, p.titleColor));
    putU32(&payload, p.headerColor);
    putU8(&payload, static_cast<uint8_t>((p.welcomeHeaderFill ? productWelcomeHeaderFill : 0) |
                                         (p.backgroundCaption ? productBackgroundCaption : 0)));
    putText(&payload, p.previousInstall);
    putText(&payload, p.finishProgram);
    putText(&payload, p.finishReadme);
    putU8(&payload, static_cast<uint8_t>((p.compactDialogs ? productCompactDialogs : 0) |
                                         (p.groupChoice ? productGroupChoice : 0) |
                                         (p.desktopChoice ? productDesktopChoice : 0) |
                                         (p.quickLaunchChoice ? productQuickLaunchChoice : 0) |
                                         (p.restart ? productRestart : 0) |
                                         (p.createUninstaller ? productCreateUninstaller : 0)));
    putU8(&payload, p.hideMakerLink ? 1 : 0);
    return payload;
}

Bytes pagesPayload(const Project& p) { return Bytes(p.pages, p.pages + wizardPageCount); }

Bytes languagesPayload(const Project& p) {
    Bytes payload;
    putU8(&payload, p.autoSelectLanguage ? 1 : 0);
    for (const LanguageTexts& language : p.languages) putU16(&payload, language.number);
    return payload;
}

Bytes textPayload(uint16_t language, const TextEntry& entry) {
    Bytes payload;
    putU16(&payload, language);
    putU8(&payload, entry.table);
    putU8(&payload, entry.item);
    putText(&payload, entry.text);
    return payload;
}

Bytes requirementsPayload(const Requirements& r) {
    Bytes payload;
    for (const std::string* text : {&r.os, &r.directX, &r.ie, &r.access}) putText(&payload, *text);
    putU8(&payload, r.admin ? 1 : 0);
    return payload;
}

namespace {

Bytes textOnly(const std::string& text) {
    Bytes payload;
    putText(&payload, text);
    return payload;
}

// The project's variables, then the uninstaller's file name, which the stub reads by name.
void writeVariables(const Project& p, ScriptWriter* script) {
    for (const Variable& v : p.variables) script->record(recordVariable, variablePayload(v));
    if (p.createUninstaller) script->record(recordVariable, variablePayload({"%UninstallerFileName%", p.uninstallerName}));
}
// The product record sets dialogIdBase, which the page switches read: it comes first.
void writeProduct(const Project& p, ScriptWriter* script) { script->record(recordProduct, productPayload(p)); }
void writePages(const Project& p, ScriptWriter* script) { script->record(recordPages, pagesPayload(p)); }
void writeLanguages(const Project& p, ScriptWriter* script) { script->record(recordLanguages, languagesPayload(p)); }
// One record per language, table and item, in the order the project holds them.
void writeTexts(const Project& p, ScriptWriter* script) {
    for (const LanguageTexts& language : p.languages)
        for (const TextEntry& entry : language.texts) script->record(recordText, textPayload(language.number, entry));
}
void writeDocuments(const Project& p, ScriptWriter* script) {
    if (p.hasLicense) script->record(recordLicense, textOnly(p.licenseText));
    if (p.hasReadme) script->record(recordReadme, textOnly(p.readmeText));
}
void writeLists(const Project& p, ScriptWriter* script) {
    const std::pair<RecordType, const std::vector<std::string>*> lists[] = {
        {recordShortcut, &p.shortcuts}, {recordRegistry, &p.registryEntries}, {recordIni, &p.iniEntries},
        {recordAssociation, &p.associations}};
    for (const auto& [type, lines] : lists)
        for (const std::string& line : *lines) script->record(type, textOnly(line));
}
void writeRequirements(const Project& p, ScriptWriter* script) {
    if (p.hasRequirements) script->record(recordRequirements, requirementsPayload(p.requirements));
}
// The gradient colours go as 0xRRGGBB (the setup program exchanges red and blue); the accent
// colour is already a COLORREF.
void writeBackground(const Project& p, ScriptWriter* script) {
    if (p.hasBackground) {
        Bytes payload;
        putU32(&payload, p.gradientTop);
        putU32(&payload, p.gradientBottom);
        putU32(&payload, 0);
        script->record(recordBackground, payload);
    }
    for (const std::string& line : p.backgroundTexts) script->record(recordBackgroundText, textOnly(line));
    if (p.hasAccentColor) {
        Bytes payload;
        putU32(&payload, p.accentColor);
        script->record(recordAccentColor, payload);
    }
}
void writeActions(const Project& p, ScriptWriter* script) {
    for (const std::string& line : p.launches) script->record(recordLaunch, textOnly(line));
    for (const std::string& line : p.dllCalls) script->record(recordDllCall, textOnly(line));
}

using RecordSource = void (*)(const Project&, ScriptWriter*);
const RecordSource recordSources[] = {writeVariables, writeProduct,      writePages,      writeLanguages,
                                      writeTexts,     writeDocuments,    writeLists,      writeRequirements,
                                      writeBackground, writeActions};

}  // namespace

Bytes buildScript(const Project& project) {
    ScriptWriter script;
    for (RecordSource source : recordSources) source(project, &script);
    return script.finish();
}
