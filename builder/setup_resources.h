// setup_resources.h -- the stub image with the project's resources: its manifest (execution
// level), version information and icon written into the resource section, which the builder
// rewrites in full (every other resource is kept). The resource section is the image's last
// section, so nothing else moves. The image must stay below 64 KiB: of the project's icon it
// keeps the images that fit, 32x32 and 16x16 first, and says which it left out.
#pragma once
#include <string>
#include <vector>

#include "byte_buffer.h"
#include "manifest.h"
#include "project.h"

struct ResourceReport {
    bool written = false;                // false: the stub has no PE header (a stand-in), left as it is
    ExecutionLevel level = ExecutionLevel::admin;
    bool levelByRule = false;            // the project named no level
    std::vector<std::string> notes;      // one line per icon image left out
    uint32_t iconImages = 0;             // images kept
    uint32_t resourceSize = 0;           // bytes of the new resource section (unpadded)
};

// Rewrites *stub (the loaded stub image, PE CheckSum cleared) for the project. False, and *stub
// unchanged, when the resources cannot be written or the image would reach 65,536 bytes; *err
// then says why (for an icon: how many bytes are missing for its smallest 32x32 and 16x16 images).
bool applySetupResources(const Project& project, Bytes* stub, ResourceReport* report, std::string* err);

// The icon images in the order they are offered room: the richest 32x32 and the richest 16x16
// image, the other 32x32 and 16x16 images (richer colours first), then the other sizes from the
// smallest up.
std::vector<size_t> iconPriority(const std::vector<IconImage>& images);
