// What the console front end and the compressor chooser show about the
// compressors: the listing of the table, the ICINFO of one entry, and the
// text of a four-character code that every file and compressor listing uses.
#pragma once

#include "codec/CompressorRecords.h"
#include "codec/CompressorTable.h"

#include <cstdint>
#include <string>
#include <vector>

namespace kmx {

struct CompressorListing {
    std::uint32_t fourcc = 0;
    std::string shortName;
    std::string description;
    bool lossless = false;
    bool available = false;
    std::uint32_t capabilities = 0; // VIDCF_* flags
};

// The compressors in table order: only the available ones, or all of them
// when includeUnavailable is set.
std::vector<CompressorListing> ListCompressors(bool includeUnavailable);

// Fills an ICINFO (568 bytes) for an entry: type, handler, capabilities,
// short name and description as UTF-16, "libavcodec" as the driver.
void FillCompressorInfo(const CompressorEntry& entry, ICINFO* info);

// The FOURCC as four characters, lowest byte first: printable ASCII as it
// is (a trailing space too, as in "DIB "), any other byte as '.'; "----"
// for 0, the code of no handler at all.
std::string FourccText(std::uint32_t fourcc);

} // namespace kmx
