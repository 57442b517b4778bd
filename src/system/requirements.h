// requirements.h -- what the package requires of the system (Windows, Internet Explorer, DirectX, Microsoft
// Access, administrative rights), what the system has, and the comparison.
#pragma once
#include "support/platform.h"

// Results of checkRequirements; the entry shows one message for each code but the first.
enum RequirementResult {
    requirementsMet = 0,
    requirementAdminMissing = 1,    // rights required and missing (Windows NT only)
    requirementNtMissing = 2,       // "NT" required on another platform
    requirementOsMissing = 3,       // state.missingOsName
    requirementIeMissing = 4,       // state.missingIeName
    requirementDirectXMissing = 5,  // state.missingDirectXName
    requirementAccessMissing = 6,   // state.missingAccessName
};

// ---- decisions over detected values (portable) ----
// Internet Explorer detail code of a "Version" value ("6.0.2800.1106"); see requirements.cpp.
int ieDetailFromVersion(const char* versionText);
// Detail code of the "Build" number of a browser without a "Version" value.
int ieDetailFromBuild(int build);
// Detail code of the "IVer" number.
int ieDetailFromIVer(int iver);
// Internet Explorer level 0..20 of a detail code (0: not found).
int ieLevelFromDetail(int detail);
// DirectX level reached past DirectDraw 7: 0x700 without D3D8.DLL, 0x900 with D3D9.DLL too, else 0x801 when
// the registry version begins with "4.08.01", else 0x800.
DWORD directXLevelFromDirect3D(bool hasD3d8, bool hasD3d9, const char* registryVersion);
// Microsoft Access level 1..7 of a formatted file version ("8.0.0.3512"); 0 when unknown.
int accessLevelFromVersion(const char* versionText);
// Compares the script's requirements with the detected values in state and sets the missing names; windowsNt
// is the platform test. Returns a RequirementResult.
int requirementResultFor(bool windowsNt);

// ---- detections (Win32) ----
// Internet Explorer level from the registry.
int detectIeLevel();
// DirectX level 0..0x900 from probing the DirectX libraries (each one unloaded again).
DWORD detectDirectXLevel();
// Microsoft Access level from the version of the program registered under App Paths.
int detectAccessLevel();
// Whether the process token holds the enabled Administrators group.
bool detectAdminRights();
// All detections, in the start-up order, into state (ieLevel ... windowsVersion).
void detectInstalledSystem();
// requirementResultFor on this system's platform.
int checkRequirements();
