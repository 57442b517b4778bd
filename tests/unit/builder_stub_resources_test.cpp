// The builder's rewrite of the real stub's resource section: the project's icon (the images that
// fit, the others named), its version information and manifest, every other resource kept, the
// image below 64 KiB, and the checksums of the setup file holding; an icon that cannot fit is
// refused with the bytes it lacks and leaves no file behind.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zlib.h>

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
#include "resources/ids.h"
#include "shell_command.h"
#include "version_info.h"

#ifdef VELKORIN_STUB_PATH
namespace {

using icon_maker::bitmap;
using icon_maker::Image;

class StubResources : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/velkorin-stubres-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        root = pattern;
        mkdir((root + "/files").c_str(), 0755);
        writeFileBytes(root + "/files/a.txt", Bytes(3000, 'a'));
        stub = readFileBytes(VELKORIN_STUB_PATH);
        ASSERT_FALSE(stub.empty());
        std::string err;
        ASSERT_TRUE(readImageResources(stub, &stubResources, &err)) << err;
    }
    void TearDown() override { std::system(("rm -rf '" + root + "'").c_str()); }

    // Builds setup.exe from a project with these [setup_file] lines and, when given, this icon.
    bool build(const std::string& setupFile, const std::vector<Image>& icon, BuildSummary* summary, std::string* err) {
        std::string extra = setupFile;
        if (!icon.empty()) {
            writeFileBytes(root + "/setup.ico", icon_maker::iconFile(icon));
            extra += "icon = \"setup.ico\"\n";
        }
        std::ofstream(root + "/p.toml") << "[product]\nname = \"Res\"\ntitle = \"Res 2.5\"\n"
                                           "[[files]]\ndestination = \"%InstallPath%\"\nsource = \"files\"\n"
                                           "[setup_file]\n"
                                        << extra;
        Project project;
        if (!loadProject(root + "/p.toml", &project, err)) return false;
        return buildSetup(project, BuildOptions{VELKORIN_STUB_PATH, root + "/setup.exe", 1, SigningOptions{}, 0, {}}, summary, err);
    }

    // The setup file's resources, with the checks every setup file must pass: the image below
    // 64 KiB, the package checksum the stub proves, the PE CheckSum, and every resource of the
    // stub other than the icon and the manifest kept byte for byte.
    std::vector<Resource> readBack(bool replacedIcon) {
        Bytes file = readFileBytes(root + "/setup.exe");
        uint16_t image = static_cast<uint16_t>(file[dosPackageOffsetAt] | file[dosPackageOffsetAt + 1] << 8);
        EXPECT_GT(image, 0u);
        EXPECT_LT(file.size(), 1u << 20);
        // The stub counts the PE CheckSum field and the security entry as zeros.
        uint32_t pe = loadU32(file.data() + dosPeOffsetAt);
        Bytes counted = file;
        std::fill_n(counted.begin() + pe + peCheckSumAt, 4, 0);
        std::fill_n(counted.begin() + pe + peSecurityEntryAt, peSecurityEntrySize, 0);
        uLong sum = adler32_z(adler32(0, nullptr, 0), counted.data() + checksumStart, counted.size() - checksumStart);
        EXPECT_EQ(loadU32(file.data() + dosFileChecksumAt), sum) << "the checksum the stub proves";
        EXPECT_EQ(loadU32(file.data() + pe + peCheckSumAt), peCheckSumOf(file, pe + peCheckSumAt));
        std::vector<Resource> resources;
        std::string err;
        EXPECT_TRUE(readImageResources(Bytes(file.begin(), file.begin() + image), &resources, &err)) << err;
        for (const Resource& r : stubResources) {
            bool icon = r.type == resourceId(resourceIcon) || r.type == resourceId(resourceGroupIcon);
            if ((icon && replacedIcon) || r.type == resourceId(resourceManifest)) continue;
            auto same = std::find_if(resources.begin(), resources.end(), [&](const Resource& o) {
                return o.type == r.type && o.name == r.name && o.language == r.language && o.data == r.data;
            });
            EXPECT_NE(same, resources.end()) << "stub resource of type " << r.type.id << " id " << r.name.id << " kept";
        }
        return resources;
    }

    // The images of icon group 100, each with its bytes as the RT_ICON resource holds them.
    std::vector<std::pair<IconGroupEntry, Bytes>> setupIcon(const std::vector<Resource>& resources) {
        std::vector<std::pair<IconGroupEntry, Bytes>> out;
        const Resource* group = findResource(resources, resourceGroupIcon, IDI_SETUP);
        std::vector<IconGroupEntry> entries;
        EXPECT_TRUE(group && readIconGroup(group->data, &entries));
        for (const IconGroupEntry& e : entries) {
            const Resource* image = findResource(resources, resourceIcon, e.id);
            EXPECT_NE(image, nullptr) << e.id;
            out.push_back({e, image ? image->data : Bytes{}});
        }
        return out;
    }

    std::string root;
    Bytes stub;
    std::vector<Resource> stubResources;
};

TEST_F(StubResources, WithoutSetupFileFieldsTheStubKeepsItsIconAndGetsTheDefaultManifest) {
    BuildSummary summary;
    std::string err;
    ASSERT_TRUE(build("", {}, &summary, &err)) << err;
    std::vector<Resource> resources = readBack(false);
    EXPECT_TRUE(summary.resources.written);
    EXPECT_TRUE(summary.resources.levelByRule);
    EXPECT_EQ(firstOfType(resources, resourceVersion), nullptr) << "no version fields, no version resource";
    const Resource* manifest = firstOfType(resources, resourceManifest);
    ASSERT_NE(manifest, nullptr);
    EXPECT_EQ(std::string(manifest->data.begin(), manifest->data.end()), manifestText(ExecutionLevel::admin));
    EXPECT_EQ(summary.stubSize, readFileBytes(root + "/setup.exe")[dosPackageOffsetAt] |
                                    readFileBytes(root + "/setup.exe")[dosPackageOffsetAt + 1] << 8);
    EXPECT_LT(summary.stubSize, maxStubSize);
}

TEST_F(StubResources, SmallIconIsWrittenWholeWithVersionAndLevel) {
    std::vector<Image> icon = {bitmap(32, 4), bitmap(16, 4)};
    BuildSummary summary;
    std::string err;
    ASSERT_TRUE(build("execution_level = \"highest\"\nversion = \"2.5.0.17\"\ncompany = \"Velkorin Tests\"\n"
                      "copyright = \"(c) 2026 Velkorin Tests\"\n",
                      icon, &summary, &err))
        << err;
    EXPECT_TRUE(summary.resources.notes.empty());
    std::vector<Resource> resources = readBack(true);
    auto images = setupIcon(resources);
    ASSERT_EQ(images.size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(images[i].first.width, icon[i].width);
        EXPECT_EQ(images[i].first.bitCount, icon[i].bits);
        EXPECT_EQ(images[i].second, icon[i].data) << "image " << i << " byte for byte";
    }
    VersionReadBack version;
    const Resource* v = firstOfType(resources, resourceVersion);
    ASSERT_TRUE(v && readVersionResource(v->data, &version));
    EXPECT_EQ(v->language, 0x0409);
    EXPECT_EQ(version.fileMs, 0x00020005u);
    EXPECT_EQ(version.fileLs, 17u);
    EXPECT_EQ(version.strings, (std::vector<std::pair<std::string, std::string>>{
                                   {"CompanyName", "Velkorin Tests"},
                                   {"FileDescription", "Res 2.5 Setup"},
                                   {"FileVersion", "2.5.0.17"},
                                   {"LegalCopyright", "(c) 2026 Velkorin Tests"},
                                   {"ProductName", "Res"},
                                   {"ProductVersion", "2.5.0.17"}}));
    const Resource* manifest = firstOfType(resources, resourceManifest);
    ASSERT_NE(manifest, nullptr);
    EXPECT_EQ(manifestExecutionLevel(std::string(manifest->data.begin(), manifest->data.end())), "highestAvailable");
    EXPECT_EQ(summary.resources.level, ExecutionLevel::highest);
    EXPECT_FALSE(summary.resources.levelByRule);
}

TEST_F(StubResources, LargeIconKeepsWhatFitsThirtyTwoAndSixteenFirstAndNamesWhatItLeftOut) {
    std::vector<Image> icon = {icon_maker::png(256), bitmap(48, 32), bitmap(32, 32), bitmap(32, 8), bitmap(32, 4),
                               bitmap(16, 32),       bitmap(16, 8),  bitmap(16, 4)};
    BuildSummary summary;
    std::string err;
    ASSERT_TRUE(build("", icon, &summary, &err)) << err;
    auto images = setupIcon(readBack(true));
    std::vector<std::string> kept, left;
    for (const auto& [entry, bytes] : images) {
        auto made = std::find_if(icon.begin(), icon.end(), [&](const Image& i) { return i.data == bytes; });
        ASSERT_NE(made, icon.end()) << "every kept image is one of the icon file's, byte for byte";
        kept.push_back(std::to_string(made->width) + "/" + std::to_string(made->bits));
    }
    // A 32x32 and a 16x16 image are always there; the 48x48 and 256x256 images cannot fit.
    EXPECT_TRUE(std::any_of(images.begin(), images.end(), [](const auto& i) { return i.first.width == 32; }));
    EXPECT_TRUE(std::any_of(images.begin(), images.end(), [](const auto& i) { return i.first.width == 16; }));
    EXPECT_EQ(images.size() + summary.resources.notes.size(), icon.size()) << ::testing::PrintToString(kept);
    std::vector<IconImage> read;
    ASSERT_TRUE(readIconFile(icon_maker::iconFile(icon), &read, &err));
    for (size_t i : {0u, 1u})
        EXPECT_NE(std::find(summary.resources.notes.begin(), summary.resources.notes.end(),
                            "setup.ico: image " + describeIconImage(read[i]) +
                                " left out: the setup program must stay below 65,536 bytes"),
                  summary.resources.notes.end())
            << ::testing::PrintToString(summary.resources.notes);
    for (const std::string& note : summary.resources.notes) EXPECT_EQ(note.rfind("setup.ico: image ", 0), 0u) << note;
    EXPECT_EQ(summary.resources.iconImages, images.size());
}

TEST(IconPriority, RichestThirtyTwoAndSixteenFirstThenTheirOtherDepthsThenLargerSizes) {
    std::vector<IconImage> images;
    std::string err;
    ASSERT_TRUE(readIconFile(icon_maker::iconFile({icon_maker::png(256), bitmap(48, 32), bitmap(32, 4), bitmap(16, 8),
                                                   bitmap(32, 32), bitmap(16, 4), bitmap(32, 8), bitmap(16, 32),
                                                   bitmap(24, 8)}),
                             &images, &err));
    std::vector<std::string> order;
    for (size_t i : iconPriority(images)) order.push_back(std::to_string(images[i].width) + "/" + std::to_string(images[i].bitCount));
    EXPECT_EQ(order, (std::vector<std::string>{"32/32", "16/32", "32/8", "32/4", "16/8", "16/4", "24/8", "48/32",
                                               "256/32"}));
}

TEST_F(StubResources, IconWhoseSmallestImagesCannotFitIsRefusedWithTheMissingBytesAndNothingIsWritten) {
    const size_t text = 20000;
    BuildSummary summary;
    std::string err;
    ASSERT_FALSE(build("", {icon_maker::png(32, text), bitmap(16, 4)}, &summary, &err));
    const std::string prefix = root + "/p.toml: setup_file.icon: 'setup.ico': its smallest images (32x32 and 16x16) do "
                                      "not fit: the setup program needs ";
    ASSERT_EQ(err.rfind(prefix, 0), 0u) << err;
    const std::string suffix = " bytes more than it has room for below 65,536 bytes";
    ASSERT_EQ(err.substr(err.size() - suffix.size()), suffix) << err;
    std::string figure = err.substr(prefix.size(), err.size() - prefix.size() - suffix.size());
    figure.erase(std::remove(figure.begin(), figure.end(), ','), figure.end());
    size_t missing = std::stoul(figure);
    struct stat info;
    EXPECT_NE(stat((root + "/setup.exe").c_str(), &info), 0) << "nothing written";
    // The figure is right to the alignment of the resource data: a PNG that many bytes smaller
    // (and 8 more) fits, one 8 bytes less smaller still does not.
    ASSERT_GT(missing, 8u);
    ASSERT_LT(missing, text);
    EXPECT_TRUE(build("", {icon_maker::png(32, text - missing - 8), bitmap(16, 4)}, &summary, &err)) << err;
    EXPECT_FALSE(build("", {icon_maker::png(32, text - missing + 8), bitmap(16, 4)}, &summary, &err));
}

TEST_F(StubResources, IconWithoutThirtyTwoOrSixteenNeedsItsSmallestImageToFit) {
    BuildSummary summary;
    std::string err;
    Image big = icon_maker::png(48, 30000), small = icon_maker::png(40);
    ASSERT_FALSE(build("", {big}, &summary, &err));
    std::vector<IconImage> read;
    std::string why;
    ASSERT_TRUE(readIconFile(icon_maker::iconFile({big}), &read, &why));
    const std::string start = root + "/p.toml: setup_file.icon: 'setup.ico': its image " + describeIconImage(read[0]) +
                              " does not fit: the setup program needs ";
    EXPECT_EQ(err.rfind(start, 0), 0u) << err;
    // With a smaller image beside it, that one is kept and the large one named.
    ASSERT_TRUE(build("", {big, small}, &summary, &err)) << err;
    auto images = setupIcon(readBack(true));
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].second, small.data);
    EXPECT_EQ(summary.resources.notes,
              (std::vector<std::string>{"setup.ico: image " + describeIconImage(read[0]) +
                                        " left out: the setup program must stay below 65,536 bytes"}));
}

TEST_F(StubResources, StandInStubWithoutPeHeaderRefusesProjectResources) {
    Bytes standIn(3000, 0x90);
    standIn[0] = 'M', standIn[1] = 'Z';
    writeFileBytes(root + "/stand-in.exe", standIn);
    std::ofstream(root + "/p.toml") << "[product]\nname = \"Res\"\ntitle = \"Res 2.5\"\n[setup_file]\nversion = \"1\"\n";
    Project project;
    std::string err;
    ASSERT_TRUE(loadProject(root + "/p.toml", &project, &err)) << err;
    BuildSummary summary;
    EXPECT_FALSE(buildSetup(project, BuildOptions{root + "/stand-in.exe", root + "/setup.exe", 1, SigningOptions{}, 0, {}},
                            &summary, &err));
    EXPECT_EQ(err, "the stub has no PE header (no PE header): the icon, version and execution level cannot be written");
}

}  // namespace
#endif
