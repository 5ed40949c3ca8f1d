#include "tests/support/TempDir.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>
#include <vector>

TempDir::TempDir() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "kadrimix-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (mkdtemp(buffer.data()) == nullptr) {
        throw std::runtime_error("cannot create a temporary folder");
    }
    path_ = buffer.data();
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::File(const std::string& name) const {
    return (path_ / name).string();
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool WriteBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
    // Rewritten in place and cut to size rather than emptied first: tests
    // write the same file thousands of times, and emptying a file makes some
    // file systems flush it on close.
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd < 0) {
        return false;
    }
    bool ok = ::pwrite(fd, bytes.data(), bytes.size(), 0) == static_cast<ssize_t>(bytes.size());
    ok = ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 && ok;
    return ::close(fd) == 0 && ok;
}

std::size_t Find(const std::vector<std::uint8_t>& bytes, const char* text, std::size_t from) {
    if (from >= bytes.size()) {
        return std::string::npos;
    }
    const auto at = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end(),
                                text, text + std::strlen(text));
    return at == bytes.end() ? std::string::npos : static_cast<std::size_t>(at - bytes.begin());
}
