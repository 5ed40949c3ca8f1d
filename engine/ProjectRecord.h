// The project file (".kmx"): one fixed 6556-byte little-endian record,
// version 100, holding the files, the compressor choice, the nine option
// check boxes and the ten overlay slots.
#pragma once

#include "codec/CompressorRecords.h"
#include "engine/ConvertJob.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

inline constexpr std::uint32_t kProjectRecordSize = 6556;
inline constexpr std::uint32_t kProjectVersion = 100;
inline constexpr std::size_t kProjectPathField = 260;
inline constexpr std::size_t kProjectNameField = 128;

// The nine check boxes in the order the file keeps them.
enum ProjectCheck {
    kCheckPreview,
    kCheckReverse,
    kCheckInterlaced,
    kCheckMirrorVertical,
    kCheckMirrorHorizontal,
    kCheckLeftHalf,
    kCheckRightHalf,
    kCheckUpperHalf,
    kCheckLowerHalf,
    kProjectCheckCount
};

struct ProjectOverlay {
    std::string path; // empty = slot not in use
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t borderWidth = 0;
    std::array<std::uint8_t, 3> borderColor{}; // blue, green, red
    std::int32_t crop = 0;
    std::int32_t overlayStart = 0;
    std::int32_t overlayEnd = 0;
    std::int32_t baseStart = 0;
    std::int32_t noResize = 0;
};

struct ProjectRecord {
    std::string inputPath;
    std::string outputPath;
    COMPVARS compressorSettings{};
    std::string compressorName;                            // as shown next to the Codec button
    std::array<std::int32_t, kProjectCheckCount> checks{}; // check box states, unmasked
    std::array<ProjectOverlay, kOverlaySlotCount> overlays{};
};

using ProjectBytes = std::array<std::uint8_t, kProjectRecordSize>;

enum class ProjectDecodeResult { Ok, WrongSize, WrongVersion };

// Encodes the record. Texts longer than their field are cut at a character
// boundary so the field always keeps its terminator; unused bytes are zero.
ProjectBytes EncodeProject(const ProjectRecord& project);

// Decodes a record read from a file: the size field must be 6556 and the
// version 100. Texts are read up to their field's end, also without terminator.
ProjectDecodeResult DecodeProject(const ProjectBytes& bytes, ProjectRecord& project);

enum class ProjectFileResult { Ok, OpenFailed, ReadFailed, WrongSize, WrongVersion, WriteFailed };

// Reads a project file; bytes after the record are ignored. On any failure
// project is left unchanged.
ProjectFileResult ReadProjectFile(const std::string& path, ProjectRecord& project);

// Writes the record to a temporary file beside path and renames it over path
// only when it is complete, so a failed write never destroys an older project.
// OpenFailed when the temporary file cannot be created, WriteFailed when
// writing, flushing or the rename fails.
ProjectFileResult WriteProjectFile(const std::string& path, const ProjectRecord& project);

// The job settings a project stores, and the way back. Check states go into
// the job masked to 0 or 1, as the main window does when it starts a run; the
// slot numbers and working fields of the job are kept.
ProjectRecord ProjectFromJob(const ConvertJob& job, const std::string& compressorName);
void ApplyProjectToJob(const ProjectRecord& project, ConvertJob& job);
