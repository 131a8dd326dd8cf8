// Scratch folders and files for the Wine tests.
#ifndef QB7_TESTS_SUPPORT_SCRATCH_FOLDER_H
#define QB7_TESTS_SUPPORT_SCRATCH_FOLDER_H

#include <string>

// A new empty folder below the temporary folder, by its full long path; its name has a space.
std::string MakeScratchFolder();

// Creates `path` with every missing parent.
bool MakeFolders(const std::string& path);

// Deletes `path` and everything in it.
void RemoveTree(const std::string& path);

bool CopyFileTo(const std::string& source, const std::string& target);
bool FileExists(const std::string& path);
bool FolderExists(const std::string& path);

// The whole file, or empty when it cannot be read.
std::string ReadTextFile(const std::string& path);

// Windows paths compare without regard to letter case.
bool SamePath(const std::string& first, const std::string& second);

#endif
