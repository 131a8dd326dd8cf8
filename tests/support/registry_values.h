// Registry access for the Wine tests, including the per-program Windows version Wine reports.
#ifndef QB7_TESTS_SUPPORT_REGISTRY_VALUES_H
#define QB7_TESTS_SUPPORT_REGISTRY_VALUES_H

#include <windows.h>

#include <string>

// HKCU\Software\Wine\AppDefaults\`exeFileName`: what Wine sets for processes of that exe file
// name alone, such as their Windows version or, below DllOverrides, how they load a DLL.
std::string AppDefaultsKey(const char* exeFileName);

bool WriteRegistryString(HKEY root, const std::string& key, const char* name, const char* value);

// Makes Wine report `version` ("win98", "win7", ...) to every process of that exe file name
// started from now on.
bool SetReportedVersion(const char* exeFileName, const char* version);

// False when the value is missing or not a string. `view` (KEY_WOW64_64KEY or KEY_WOW64_32KEY)
// picks one of the two registry views of 64-bit Windows; 0 is this process's own.
bool ReadRegistryString(HKEY root, const char* key, const char* name, std::string* value,
                        REGSAM view = 0);

void DeleteRegistryValue(HKEY root, const char* key, const char* name, REGSAM view = 0);

// Writes a device node that Wine lists among the present devices, with these hardware and
// compatible ids: each ended by "\0", the list by the string's own end; null leaves the value
// out. One node at a time; RemoveDeviceNode takes it away.
bool PlantDeviceNode(const char* hardwareIds, const char* compatibleIds);
void RemoveDeviceNode();

// 64 when this Wine prefix is a 64-bit Windows (this process may be a 32-bit one under WOW64),
// 32 in a 32-bit prefix: the processor bitness every program in the prefix is told.
int PrefixBitness();

#endif
