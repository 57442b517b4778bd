// driver_registry.h -- reading, saving and changing the registry for the e2e driver, in the
// driver's own process: one Wine start for what would otherwise be one `reg` start per value.
//
// Key names are written with a root's short or long name first ("HKLM\\Software\\X" or
// "HKEY_LOCAL_MACHINE\\Software\\X"); names and texts are UTF-8 on both sides, whatever the
// system's ANSI code page.
#pragma once

// Has the system write the key's whole tree to FILE in its own registry file format, in one
// request (much faster than walking it key by key). FILE is replaced when it exists.
int saveRegistry(const char* key, const char* file);
// Creates the key (and the ones above it) when missing and sets the value NAME: TYPE "sz"
// (DATA as it stands) or "dword" (DATA a decimal or 0x number). NAME "" is the default value.
int setRegistryValue(const char* key, const char* name, const char* type, const char* data);
int createRegistryKey(const char* key);
// Deletes the key with everything below it, or one value of it; done too when it was not there.
int deleteRegistryKey(const char* key);
int deleteRegistryValue(const char* key, const char* name);
// Prints value<TAB>TYPE<TAB>DATA as `reg query` shows it (REG_SZ text; REG_DWORD 0x2a; REG_MULTI_SZ
// items joined by \0; other types as hex digits), escaped as the dump's texts are. 2 when missing.
int queryRegistryValue(const char* key, const char* name);
