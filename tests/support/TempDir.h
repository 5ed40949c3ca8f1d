// A temporary folder for one test, removed with everything in it at the end,
// and whole files read and written as bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // Path of a file inside the folder, as UTF-8 text.
    std::string File(const std::string& name) const;

private:
    std::filesystem::path path_;
};

// The bytes of a whole file; empty when it cannot be read.
std::vector<std::uint8_t> ReadWholeFile(const std::string& path);
// The same as text.
std::string ReadText(const std::string& path);
// Makes the file hold exactly these bytes.
bool WriteBytes(const std::string& path, std::span<const std::uint8_t> bytes);
// Position of the first occurrence of text at or after from, or npos.
std::size_t Find(const std::vector<std::uint8_t>& bytes, const char* text, std::size_t from = 0);
