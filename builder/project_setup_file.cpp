// project_setup_file.cpp -- [setup_file]: the icon file (read and checked here, so that its
// errors name the project's line), the version fields and the execution level.
#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "project_sections.h"
#include "version_info.h"

namespace {

FieldReader iconFile(const Project* p, SetupFileConfig* s) {
    return [p, s](const toml::node& node, std::string* what) {
        if (!node.is_string()) return *what = "expected a text", false;
        std::string written = **node.as_string();
        std::string path = !written.empty() && written[0] == '/' ? written : p->folder + written;
        std::ifstream in(path, std::ios::binary);
        struct stat info;
        if (written.empty() || !in || stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
            return *what = "file '" + written + "' does not exist", false;
        if (info.st_size > (1 << 24)) return *what = "'" + written + "' is larger than 16 MiB: not an icon", false;
        Bytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::string why;
        if (!readIconFile(bytes, &s->iconImages, &why)) return *what = "'" + written + "': " + why, false;
        s->iconPath = written;
        s->hasIcon = true;
        return true;
    };
}

FieldReader level(std::string* target) {
    return [target](const toml::node& node, std::string* what) {
        static const char* const names[] = {"admin", "highest", "user"};
        for (const char* name : names)
            if (node.is_string() && **node.as_string() == name) return *target = name, true;
        return *what = "expected one of admin, highest, user", false;
    };
}

// A version text of the version resource: any characters but the zero byte.
FieldReader versionText(SetupFileConfig* s, std::string* target) {
    return [s, target](const toml::node& node, std::string* what) {
        if (!node.is_string()) return *what = "expected a text", false;
        std::string value = **node.as_string();
        if (value.find('\0') != std::string::npos) return *what = "a text must not hold a zero byte", false;
        if (value.size() > 1000) return *what = "longer than 1000 bytes", false;
        *target = value;
        s->hasVersionInfo = true;
        return true;
    };
}

FieldReader versionNumber(SetupFileConfig* s) {
    return [s](const toml::node& node, std::string* what) {
        if (!node.is_string() || !parseVersionNumber(**node.as_string(), s->versionParts))
            return *what = "expected a version \"1.2.3.4\" (one to four numbers 0 to 65535)", false;
        s->version = **node.as_string();
        s->hasVersionInfo = true;
        return true;
    };
}

}  // namespace

bool readSetupFile(Reader& reader, const toml::table& root, Project* p) {
    SetupFileConfig* s = &p->setupFile;
    return readSection(reader, root, "setup_file",
                       {{"icon", false, iconFile(p, s)},
                        {"execution_level", false, level(&s->executionLevel)},
                        {"version", false, versionNumber(s)},
                        {"product_name", false, versionText(s, &s->productName)},
                        {"company", false, versionText(s, &s->company)},
                        {"description", false, versionText(s, &s->description)},
                        {"copyright", false, versionText(s, &s->copyright)}});
}
