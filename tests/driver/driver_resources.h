// driver_resources.h -- what Windows itself reads of a program file's resources, for the e2e
// driver: its version information, its icon group and the execution level of its manifest.
#pragma once

// Prints, for the program file at path (a Windows path):
//   fixed<TAB>0xFILE_MS<TAB>0xFILE_LS<TAB>0xPRODUCT_MS<TAB>0xPRODUCT_LS    (GetFileVersionInfo)
//   translation<TAB>0xLANGUAGE<TAB>0xCODEPAGE
//   string<TAB>NAME<TAB>VALUE   for each standard name that VerQueryValue finds
//   icon<TAB>WIDTH<TAB>HEIGHT<TAB>BITS<TAB>BYTES<TAB>LOADED  for each image of icon group 100;
//                               LOADED 1 when CreateIconFromResourceEx makes an icon of it
//   level<TAB>RUN_LEVEL<TAB>UI_ACCESS   from the activation context of manifest 1 (QueryActCtxW:
//                               1 asInvoker, 2 highestAvailable, 3 requireAdministrator)
//   supported-os<TAB>COUNT      the manifest's compatibility entries that the system knows
// Returns 0, or 2 when the file cannot be loaded as a data file.
int printResources(const char* path);
