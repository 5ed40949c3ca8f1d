// "kadrimix-cli info": what the main window's file information shows, and
// every stream of the file.
#pragma once

#include <string>
#include <vector>

// json: one JSON array with an object per file (InfoJson.h) instead of text.
int RunInfoCommand(const std::vector<std::string>& files, bool json);

// Prints the information of one file to standard output; false when the file
// cannot be opened as AVI.
bool PrintFileInfo(const std::string& path);
