// The setup file's own resources: icon files read (and refused when damaged), resource trees
// written and read back, version resources, the manifest for each execution level (parsed as XML
// by another program) and the level's default rule, and the real stub rewritten by the builder:
// the icon that fits, the images it leaves out, the icon that cannot fit, every other resource
// kept, and the checksums that still hold.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "format/package_format.h"
#include "icon_file.h"
#include "icon_maker.h"
#include "manifest.h"
#include "package_writer.h"
#include "pe_fields.h"
#include "project.h"
#include "resource_dump.h"
#include "resource_section.h"
#include "shell_command.h"
#include "version_info.h"

namespace {

using icon_maker::bitmap;
using icon_maker::iconFile;

// ---- icon files --------------------------------------------------------------------------------

TEST(IconFile, ReadsEveryImageWithItsSizeAndDepthFromTheImageItself) {
    std::vector<icon_maker::Image> made = {bitmap(32, 4), bitmap(16, 8), bitmap(48, 32), icon_maker::png(256)};
    for (bool zeroBits : {false, true}) {
        std::vector<IconImage> images;
        std::string err;
        ASSERT_TRUE(readIconFile(iconFile(made, zeroBits), &images, &err)) << err;
        ASSERT_EQ(images.size(), 4u);
        for (size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(images[i].width, made[i].width) << i;
            EXPECT_EQ(images[i].height, made[i].height) << i;
            EXPECT_EQ(images[i].bitCount, made[i].bits) << i << (zeroBits ? " (entry bit count 0)" : "");
            EXPECT_EQ(images[i].png, made[i].png) << i;
            EXPECT_EQ(images[i].data, made[i].data) << i;
        }
    }
    // What a 32x32 and a 16x16 image cost in each depth.
    EXPECT_EQ(bitmap(32, 4).data.size(), 744u);
    EXPECT_EQ(bitmap(16, 4).data.size(), 296u);
    EXPECT_EQ(bitmap(32, 8).data.size(), 2216u);
    EXPECT_EQ(bitmap(16, 8).data.size(), 1384u);
    EXPECT_EQ(bitmap(32, 32).data.size(), 4264u);
    EXPECT_EQ(bitmap(16, 32).data.size(), 1128u);
    std::vector<IconImage> images;
    std::string err;
    ASSERT_TRUE(readIconFile(iconFile({bitmap(48, 32)}), &images, &err));
    EXPECT_EQ(describeIconImage(images[0]), "48x48, 32 bits, 9,640 bytes");
}

TEST(IconFile, RefusesDamagedFilesWithAReason) {
    Bytes good = iconFile({bitmap(32, 4), bitmap(16, 4)});
    std::vector<IconImage> images;
    std::string err;
    auto refused = [&](Bytes file) {
        err.clear();
        return !readIconFile(file, &images, &err) && !err.empty();
    };
    EXPECT_TRUE(refused({}));
    EXPECT_TRUE(refused(Bytes{0, 0, 2, 0, 1, 0}));  // a cursor file
    EXPECT_EQ(err, "not an icon file (no icon header)");
    EXPECT_TRUE(refused(Bytes{0, 0, 1, 0, 0, 0}));
    EXPECT_EQ(err, "the icon file holds no image");
    EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + 20)));
    EXPECT_EQ(err, "the icon file's table of images is cut short");
    Bytes outside = good;
    patchU32(&outside, 6 + 16 + 12, static_cast<uint32_t>(good.size()) - 10);  // image 2 starts 10 bytes before the end
    EXPECT_TRUE(refused(outside));
    EXPECT_EQ(err, "image 2: its bytes lie outside the file");
    Bytes huge = good;
    patchU32(&huge, 6 + 8, 0xFFFFFFF0u);
    EXPECT_TRUE(refused(huge));
    Bytes notAnImage = good;
    notAnImage[6 + 32] = 12;  // the first image's header size
    EXPECT_TRUE(refused(notAnImage));
    EXPECT_EQ(err, "image 1: an image that is neither a bitmap nor a PNG");
    // Every truncation is refused, none read past the end (the sanitizers watch).
    for (size_t size = 0; size < good.size(); ++size) EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + size))) << size;
}

TEST(IconFile, GroupResourceListsEachImageWithItsId) {
    std::vector<IconImage> images;
    std::string err;
    ASSERT_TRUE(readIconFile(iconFile({bitmap(32, 8), icon_maker::png(256)}), &images, &err));
    std::vector<IconGroupEntry> entries;
    ASSERT_TRUE(readIconGroup(iconGroupResource(images, 7), &entries));
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].width, 32u);
    EXPECT_EQ(entries[0].bitCount, 8u);
    EXPECT_EQ(entries[0].bytes, 2216u);
    EXPECT_EQ(entries[0].id, 7u);
    EXPECT_EQ(entries[1].width, 256u) << "the 0 of the group entry";
    EXPECT_EQ(entries[1].id, 8u);
    EXPECT_EQ(iconGroupResource(images, 7).size(), 6u + 2 * 14);
}

// ---- resource trees ----------------------------------------------------------------------------

Resource resource(ResourceKey type, ResourceKey name, uint16_t language, const std::string& bytes) {
    return Resource{type, name, language, 0, Bytes(bytes.begin(), bytes.end())};
}

TEST(ResourceSection, WrittenTreeReadsBackSortedWithNamesIdsAndLanguages) {
    ResourceKey named{true, 0, u"SETUP"};
    std::vector<Resource> list = {resource(resourceId(24), resourceId(1), 0, "<manifest/>"),
                                  resource(resourceId(5), resourceId(200), 0x409, "dialog"),
                                  resource(resourceId(5), named, 0x407, "named dialog"),
                                  resource(resourceId(3), resourceId(2), 0x409, "image two"),
                                  resource(resourceId(3), resourceId(1), 0x409, "image one"),
                                  resource(resourceId(3), resourceId(1), 0x407, "image one, German"),
                                  resource(ResourceKey{true, 0, u"CUSTOM"}, resourceId(9), 0, "x")};
    Bytes section = writeResourceSection(list, 0x5000);
    std::vector<Resource> back;
    std::string err;
    ASSERT_TRUE(readResourceSection(section, 0x5000, 0, &back, &err)) << err;
    ASSERT_EQ(back.size(), list.size());
    // Text types first, then ids; within a type the same order; languages ascending.
    std::vector<std::string> order;
    for (const Resource& r : back) order.push_back(std::string(r.data.begin(), r.data.end()));
    EXPECT_EQ(order, (std::vector<std::string>{"x", "image one, German", "image one", "image two", "named dialog",
                                               "dialog", "<manifest/>"}));
    EXPECT_EQ(back[4].name.text, u"SETUP");
    EXPECT_EQ(back[1].language, 0x407);
    // Every data block starts on an 8-byte boundary, at its RVA.
    EXPECT_EQ(writeResourceSection(back, 0x5000), section) << "the same list gives the same bytes";
    EXPECT_NE(findResource(back, 5, 200), nullptr);
    EXPECT_EQ(findResource(back, 5, 201), nullptr);
}

TEST(ResourceSection, DamagedTreesAreRefusedWithoutReadingOutside) {
    std::vector<Resource> list = {resource(resourceId(24), resourceId(1), 0, "<manifest/>"),
                                  resource(resourceId(5), ResourceKey{true, 0, u"NAME"}, 0, "dialog")};
    Bytes section = writeResourceSection(list, 0x1000);
    std::vector<Resource> back;
    std::string err;
    for (size_t size = 0; size < section.size(); ++size)
        EXPECT_FALSE(readResourceSection(Bytes(section.begin(), section.begin() + size), 0x1000, 0, &back, &err)) << size;
    // The data's RVA before the section, a loop back to the root, a huge entry count.
    EXPECT_FALSE(readResourceSection(section, 0x2000, 0, &back, &err));
    EXPECT_EQ(err, "the resource tree is damaged: resource bytes outside the section");
    Bytes loop = section;
    patchU32(&loop, 16 + 4, 0x80000000u);  // the first type points at the root again
    EXPECT_FALSE(readResourceSection(loop, 0x1000, 0, &back, &err));
    Bytes many = section;
    many[14] = many[15] = 0xFF;
    EXPECT_FALSE(readResourceSection(many, 0x1000, 0, &back, &err));
    // Every single damaged byte of the tree is read without harm (refused or read in bounds).
    for (size_t at = 0; at < section.size(); ++at) {
        Bytes changed = section;
        changed[at] ^= 0xA5;
        readResourceSection(changed, 0x1000, 0, &back, &err);
    }
}

// ---- version resources -------------------------------------------------------------------------

TEST(VersionInfo, StringsAndVersionsReadBack) {
    VersionFields f;
    ASSERT_TRUE(parseVersionNumber("2.10.300", f.parts));
    f.versionText = "2.10.300";
    f.language = 0x0407;
    f.strings = {{"CompanyName", "Vélkorin GmbH ™"}, {"FileDescription", "Ein Setup"}, {"ProductName", "Ω"}};
    VersionReadBack back;
    ASSERT_TRUE(readVersionResource(versionResource(f), &back));
    EXPECT_EQ(back.fileMs, 0x0002000Au);
    EXPECT_EQ(back.fileLs, 300u << 16);
    EXPECT_EQ(back.productMs, back.fileMs);
    EXPECT_EQ(back.table, "040704B0");
    EXPECT_EQ(back.translation, 0x04B00407u);
    EXPECT_EQ(back.strings, f.strings);
    Bytes data = versionResource(f);
    EXPECT_EQ(data[0] | data[1] << 8, static_cast<int>(data.size())) << "the root's length is the whole resource";
    for (size_t size = 0; size < data.size(); ++size) {
        VersionReadBack cut;
        EXPECT_FALSE(readVersionResource(Bytes(data.begin(), data.begin() + size), &cut)) << size;
    }
}

TEST(VersionInfo, VersionNumbersHaveOneToFourPartsOfSixteenBits) {
    uint16_t parts[4];
    EXPECT_TRUE(parseVersionNumber("7", parts));
    EXPECT_EQ(parts[0], 7);
    EXPECT_EQ(parts[3], 0);
    EXPECT_TRUE(parseVersionNumber("1.2.3.65535", parts));
    EXPECT_EQ(parts[3], 65535);
    for (const char* bad : {"", "1.", ".1", "1..2", "1.2.3.4.5", "65536", "1.x", "-1", "1 .2"})
        EXPECT_FALSE(parseVersionNumber(bad, parts)) << bad;
}

// ---- manifest ----------------------------------------------------------------------------------

std::string tempFolder() {
    char pattern[] = "/tmp/velkorin-res-test-XXXXXX";
    return mkdtemp(pattern) ? pattern : "";
}

// Another program's reading of the manifest: python's XML parser (fails on XML that is not
// well-formed), printing the execution level, the supportedOS ids and the common-controls version.
std::string parsedByPython(const std::string& folder, const std::string& xml) {
    std::ofstream(folder + "/manifest.xml", std::ios::binary) << xml;
    std::ofstream(folder + "/read.py")
        << "import sys, xml.dom.minidom as m\n"
           "d = m.parse(sys.argv[1])\n"
           "for e in d.getElementsByTagName('requestedExecutionLevel'): print('level', e.getAttribute('level'), "
           "e.getAttribute('uiAccess'))\n"
           "for e in d.getElementsByTagName('supportedOS'): print('os', e.getAttribute('Id'))\n"
           "for e in d.getElementsByTagName('assemblyIdentity'):\n"
           "    if e.getAttribute('name') == 'Microsoft.Windows.Common-Controls': print('controls', "
           "e.getAttribute('version'))\n";
    CommandResult r = runShellCommand("python3 " + folder + "/read.py " + folder + "/manifest.xml");
    return r.code == 0 ? r.output : "python failed: " + r.output;
}

TEST(Manifest, EachLevelIsWellFormedXmlWithTheSupportedSystems) {
    std::string folder = tempFolder();
    ASSERT_FALSE(folder.empty());
    const std::string systems =
        "os {e2011457-1546-43c5-a5fe-008deee3d3f0}\nos {35138b9a-5d96-4fbd-8e2d-a2440225f93a}\n"
        "os {4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}\nos {1f676c76-80e1-4239-95bb-83d0f6d0da78}\n"
        "os {8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\ncontrols 6.0.0.0\n";
    EXPECT_EQ(parsedByPython(folder, manifestText(ExecutionLevel::admin)), "level requireAdministrator false\n" + systems);
    EXPECT_EQ(parsedByPython(folder, manifestText(ExecutionLevel::highest)), "level highestAvailable false\n" + systems);
    EXPECT_EQ(parsedByPython(folder, manifestText(ExecutionLevel::user)), "level asInvoker false\n" + systems);
    EXPECT_NE(parsedByPython(folder, "<assembly><trustInfo></assembly>").rfind("python failed", 0), std::string::npos)
        << "the reader does tell broken XML";
    std::system(("rm -rf '" + folder + "'").c_str());
}

Project projectOf(const std::string& toml) {
    Project p;
    std::string err;
    std::string folder = tempFolder();
    mkdir((folder + "/files").c_str(), 0755);
    std::string text = "[product]\nname = \"P\"\ntitle = \"P 1\"\n" + toml;
    EXPECT_TRUE(loadProjectText(text, folder + "/p.toml", &p, &err)) << err;
    std::system(("rm -rf '" + folder + "'").c_str());
    return p;
}

TEST(Manifest, DefaultLevelIsAdminForMachineWidePlacesAndUserOtherwise) {
    const std::string perUser = "create_uninstaller = false\n";
    auto level = [](const Project& p) { return std::string(levelName(defaultExecutionLevel(p))); };
    // Under <ProgramFiles> through %InstallPath%, and the uninstaller's HKLM entry.
    EXPECT_EQ(level(projectOf("[[variables]]\nname = \"InstallPath\"\nvalue = \"<ProgramFiles>\\\\P\"\n"
                              "[[files]]\ndestination = \"%installpath%\\\\bin\"\nsource = \"files\"\n")),
              "admin");
    EXPECT_EQ(level(projectOf("")), "admin") << "the uninstaller's entry is written under HKLM";
    // Per user: no uninstaller, files in the user's folders, HKCU values.
    std::string userProject = perUser +
                              "[[variables]]\nname = \"InstallPath\"\nvalue = \"<AppData>\\\\P\"\n"
                              "[[files]]\ndestination = \"%InstallPath%\"\nsource = \"files\"\n"
                              "[[shortcuts]]\nlink = \"<Programs>\\\\P.lnk\"\ntarget = \"%InstallPath%\\\\p.exe\"\n"
                              "[[registry]]\nroot = \"HKCU\"\nkey = \"Software\\\\P\"\nname = \"Path\"\ndata = \"x\"\n"
                              "[[ini]]\nfile = \"%InstallPath%\\\\p.ini\"\nsection = \"S\"\nkey = \"K\"\nvalue = \"V\"\n";
    EXPECT_EQ(level(projectOf(userProject)), "user");
    // Each machine-wide write alone makes it admin.
    for (const char* machine :
         {"[[registry]]\nroot = \"HKLM\"\nkey = \"Software\\\\P\"\nname = \"Path\"\ndata = \"x\"\n",
          "[[shortcuts]]\nlink = \"<CommonPrograms>\\\\P.lnk\"\ntarget = \"x\"\n",
          "[[files]]\ndestination = \"<CommonFiles>\\\\P\"\nsource = \"files\"\n",
          "[[files]]\ndestination = \"<AppData>\\\\P\"\nsource = \"files\"\nshared = true\n",
          "[[ini]]\nfile = \"p.ini\"\nsection = \"S\"\nkey = \"K\"\nvalue = \"V\"\n",
          "[[files]]\ndestination = \"<system>\"\nsource = \"files\"\n", "[requirements]\nadmin = true\n"})
        EXPECT_EQ(level(projectOf(perUser + machine)), "admin") << machine;
}

TEST(Manifest, ProjectFieldsAreCheckedWithTheirLine) {
    std::string folder = tempFolder();
    Project p;
    std::string err;
    std::string head = "[product]\nname = \"P\"\ntitle = \"P 1\"\n[setup_file]\n";
    EXPECT_FALSE(loadProjectText(head + "execution_level = \"root\"\n", folder + "/p.toml", &p, &err));
    EXPECT_EQ(err, folder + "/p.toml:5: setup_file.execution_level: expected one of admin, highest, user");
    EXPECT_FALSE(loadProjectText(head + "version = \"1.2.3.4.5\"\n", folder + "/p.toml", &p, &err));
    EXPECT_EQ(err, folder + "/p.toml:5: setup_file.version: expected a version \"1.2.3.4\" (one to four numbers 0 to 65535)");
    EXPECT_FALSE(loadProjectText(head + "icon = \"none.ico\"\n", folder + "/p.toml", &p, &err));
    EXPECT_EQ(err, folder + "/p.toml:5: setup_file.icon: file 'none.ico' does not exist");
    writeFileBytes(folder + "/bad.ico", Bytes{0, 0, 1, 0, 1, 0, 32, 32});
    EXPECT_FALSE(loadProjectText(head + "icon = \"bad.ico\"\n", folder + "/p.toml", &p, &err));
    EXPECT_EQ(err, folder + "/p.toml:5: setup_file.icon: 'bad.ico': the icon file's table of images is cut short");
    EXPECT_FALSE(loadProjectText(head + "colour = 1\n", folder + "/p.toml", &p, &err));
    EXPECT_EQ(err, folder + "/p.toml:5: setup_file.colour: unknown field");
    std::system(("rm -rf '" + folder + "'").c_str());
}

}  // namespace
