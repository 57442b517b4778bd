// resource_dump.h -- the resource part of `inspect`: the setup icon's images, the version
// information and the manifest's execution level of a program image, read back with bounded
// parsing.
#pragma once
#include <string>
#include <vector>

#include "byte_buffer.h"
#include "record_dump.h"
#include "resource_section.h"

// The resources of a program image (a setup file, or an uninstaller copy). False with a reason
// when it has no PE header or its resource tree is damaged.
bool readImageResources(const Bytes& file, std::vector<Resource>* resources, std::string* err);

// The level of the manifest's requestedExecutionLevel ("" when there is none).
std::string manifestExecutionLevel(const std::string& manifest);

// Describes the icon group 100, the version resource and the manifest.
void describeResources(Report& r, const Bytes& file);
