// The header walk of an AVI file: the main header, one record per stream
// list with its raw header chunks, where the movie data lies (in the first
// RIFF and in every OpenDML 'AVIX' extension), and where the 'idx1' index is.
// Nothing here interprets stream formats or reads samples.
#pragma once

#include "media/avi/RiffFileReader.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kmx {

// Limits against absurd files: stream lists beyond the two-digit chunk
// numbers cannot be addressed; header chunks above these sizes are refused.
inline constexpr std::size_t kMaxStreamLists = 100;
inline constexpr std::uint64_t kMaxFormatSize = 4u << 20;
inline constexpr std::uint64_t kMaxSuperIndexSize = 16u << 20;

struct AviStreamList {
    int number = 0; // position among the stream lists: the ## of its chunk ids
    bool hasHeader = false;
    std::vector<std::uint8_t> header; // 'strh' bytes (the first 64 at most)
    bool hasFormat = false;
    std::vector<std::uint8_t> format; // 'strf' bytes
    std::string name;                 // 'strn' text, at most 63 bytes
    bool hasSuperIndex = false;
    std::vector<std::uint8_t> superIndex; // 'indx' body
    std::uint32_t fccType = 0;            // from the header; 0 without one
};

struct AviMovieRange {
    std::uint64_t begin = 0; // first chunk after the 'movi' list type
    std::uint64_t end = 0;   // end of the list, cut at the end of the file
};

struct AviLayout {
    bool hasMainHeader = false;
    std::uint32_t microSecPerFrame = 0;
    std::uint32_t totalFrames = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::vector<AviStreamList> streams;
    std::vector<AviMovieRange> movies;   // the first RIFF's, then one per AVIX
    std::uint64_t firstMovieListPos = 0; // the 'movi' list type of the first RIFF
    bool hasFirstMovie = false;
    bool hasIdx1 = false;
    bool idx1Complete = false; // the whole chunk lies within the file
    std::uint64_t idx1Pos = 0; // of its data
    std::uint64_t idx1Size = 0;
    bool hasExtensions = false; // at least one 'AVIX' RIFF follows
};

// Walks the headers. False when the file is not a RIFF 'AVI ' file or its
// header list is missing, cut off or malformed. A movie list cut short (a file
// whose writing was interrupted) is not an error: its range ends with the file.
// So does that of a RIFF whose size is 0 or passes the end of the file, and
// that of the last RIFF when stream chunks follow it (sizes last set before
// more chunks were written).
bool ParseAviLayout(const IByteSource& file, AviLayout& layout);

} // namespace kmx
