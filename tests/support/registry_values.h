// Registry access for the Wine tests, including the per-program Windows version Wine reports.
#ifndef QB7_TESTS_SUPPORT_REGISTRY_VALUES_H
#define QB7_TESTS_SUPPORT_REGISTRY_VALUES_H

#include <windows.h>

#include <string>

// Makes Wine report `version` ("win98", "win7", ...) to every process of that exe file name
// started from now on.
bool SetReportedVersion(const char* exeFileName, const char* version);

// False when the value is missing or not a string.
bool ReadRegistryString(HKEY root, const char* key, const char* name, std::string* value);

void DeleteRegistryValue(HKEY root, const char* key, const char* name);

#endif
