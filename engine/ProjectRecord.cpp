#include "engine/ProjectRecord.h"

#include "engine/WorkerMessages.h"

#include "media/io/ByteOrder.h"
#include "media/io/FileIo.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr std::size_t kChecksOffset = 720;
constexpr std::size_t kOverlaysOffset = 996;
constexpr std::size_t kOverlayBlockSize = 556;
constexpr std::size_t kOverlayColorOffset = 280; // in the slot's block, after the path

// The numeric fields of an overlay slot: their places in the slot's block of
// the file and their members in the record and in the job.
struct OverlayField {
    std::size_t offset;
    std::int32_t ProjectOverlay::*record;
    std::int32_t OverlaySettings::*job;
};
constexpr OverlayField kOverlayFields[] = {
    {260, &ProjectOverlay::x, &OverlaySettings::x},
    {264, &ProjectOverlay::y, &OverlaySettings::y},
    {268, &ProjectOverlay::width, &OverlaySettings::width},
    {272, &ProjectOverlay::height, &OverlaySettings::height},
    {276, &ProjectOverlay::borderWidth, &OverlaySettings::borderWidth},
    {284, &ProjectOverlay::crop, &OverlaySettings::crop},
    {288, &ProjectOverlay::overlayStart, &OverlaySettings::overlayStart},
    {292, &ProjectOverlay::overlayEnd, &OverlaySettings::overlayEnd},
    {296, &ProjectOverlay::baseStart, &OverlaySettings::baseStart},
    {300, &ProjectOverlay::noResize, &OverlaySettings::noResize},
};

// The job's members of the nine check boxes, in the order the file keeps them.
constexpr std::int32_t ConvertJob::*kCheckFields[] = {
    &ConvertJob::preview,         &ConvertJob::reverse,          &ConvertJob::interlaced,
    &ConvertJob::mirrorVertical,  &ConvertJob::mirrorHorizontal, &ConvertJob::mirrorLeftHalf,
    &ConvertJob::mirrorRightHalf, &ConvertJob::mirrorUpperHalf,  &ConvertJob::mirrorLowerHalf,
};
static_assert(std::size(kCheckFields) == kProjectCheckCount);

// Calls copy(job member, record member) for every setting of an overlay slot
// that a project keeps, the border colour aside (three bytes in the record,
// four in the job); either side may be the one copied from.
template <typename Slot, typename Overlay, typename Copy>
void PairOverlaySettings(Slot& slot, Overlay& overlay, Copy copy) {
    copy(slot.path, overlay.path);
    for (const OverlayField& field : kOverlayFields) {
        copy(slot.*field.job, overlay.*field.record);
    }
}

// Copies text into a zeroed field of size bytes (see CopyTextCut).
void StoreText(std::uint8_t* field, std::size_t size, const std::string& text) {
    CopyTextCut(reinterpret_cast<char*>(field), size, text);
}

std::string LoadText(const std::uint8_t* field, std::size_t size) {
    const void* end = std::memchr(field, 0, size);
    const std::size_t length =
        end != nullptr ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(end) - field)
                       : size;
    return std::string(reinterpret_cast<const char*>(field), length);
}

} // namespace

ProjectBytes EncodeProject(const ProjectRecord& project) {
    ProjectBytes bytes{};
    std::uint8_t* b = bytes.data();
    kmx::StoreU32(b + 0, kProjectRecordSize);
    kmx::StoreU32(b + 4, kProjectVersion);
    StoreText(b + 8, kProjectPathField, project.inputPath);
    StoreText(b + 268, kProjectPathField, project.outputPath);
    kmx::StoreRecord(b + 528, project.compressorSettings);
    StoreText(b + 592, kProjectNameField, project.compressorName);
    for (std::size_t i = 0; i < project.checks.size(); ++i) {
        kmx::StoreI32(b + kChecksOffset + 4 * i, project.checks[i]);
    }
    for (std::size_t slot = 0; slot < project.overlays.size(); ++slot) {
        const ProjectOverlay& o = project.overlays[slot];
        std::uint8_t* block = b + kOverlaysOffset + kOverlayBlockSize * slot;
        StoreText(block, kProjectPathField, o.path);
        for (const OverlayField& field : kOverlayFields) {
            kmx::StoreI32(block + field.offset, o.*field.record);
        }
        std::memcpy(block + kOverlayColorOffset, o.borderColor.data(), o.borderColor.size());
    }
    return bytes;
}

ProjectDecodeResult DecodeProject(const ProjectBytes& bytes, ProjectRecord& project) {
    const std::uint8_t* b = bytes.data();
    if (kmx::LoadU32(b + 0) != kProjectRecordSize) {
        return ProjectDecodeResult::WrongSize;
    }
    if (kmx::LoadU32(b + 4) != kProjectVersion) {
        return ProjectDecodeResult::WrongVersion;
    }
    ProjectRecord p;
    p.inputPath = LoadText(b + 8, kProjectPathField);
    p.outputPath = LoadText(b + 268, kProjectPathField);
    kmx::LoadRecord(b + 528, p.compressorSettings);
    p.compressorName = LoadText(b + 592, kProjectNameField);
    for (std::size_t i = 0; i < p.checks.size(); ++i) {
        p.checks[i] = kmx::LoadI32(b + kChecksOffset + 4 * i);
    }
    for (std::size_t slot = 0; slot < p.overlays.size(); ++slot) {
        ProjectOverlay& o = p.overlays[slot];
        const std::uint8_t* block = b + kOverlaysOffset + kOverlayBlockSize * slot;
        o.path = LoadText(block, kProjectPathField);
        for (const OverlayField& field : kOverlayFields) {
            o.*field.record = kmx::LoadI32(block + field.offset);
        }
        std::memcpy(o.borderColor.data(), block + kOverlayColorOffset, o.borderColor.size());
    }
    project = std::move(p);
    return ProjectDecodeResult::Ok;
}

namespace {

// The file a path names after following its symbolic links (a link whose
// target is missing names that target); the path itself when it is no link.
std::string FollowLinks(const std::string& path) {
    constexpr int kMaxLinks = 40; // as the kernel's own limit
    std::string current = path;
    for (int depth = 0; depth < kMaxLinks; ++depth) {
        struct stat info {};
        if (::lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) {
            return current;
        }
        std::string target(PATH_MAX, '\0');
        const ssize_t n = ::readlink(current.c_str(), target.data(), target.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= target.size()) {
            return current;
        }
        target.resize(static_cast<std::size_t>(n));
        const std::size_t slash = current.rfind('/');
        if (target[0] != '/' && slash != std::string::npos) {
            target = current.substr(0, slash + 1) + target;
        }
        current = target;
    }
    return current;
}

// The process's umask, read without changing it (umask() would, for a
// moment, for every thread).
mode_t CurrentUmask() {
    if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, status) != nullptr) {
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        }
        std::fclose(status);
        if (found) {
            return static_cast<mode_t>(mask & 0777);
        }
    }
    return 022;
}

} // namespace

ProjectFileResult ReadProjectFile(const std::string& path, ProjectRecord& project) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return ProjectFileResult::OpenFailed;
    }
    ProjectBytes bytes{};
    const std::size_t read = std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (read != bytes.size()) {
        return ProjectFileResult::ReadFailed;
    }
    switch (DecodeProject(bytes, project)) {
    case ProjectDecodeResult::WrongSize:
        return ProjectFileResult::WrongSize;
    case ProjectDecodeResult::WrongVersion:
        return ProjectFileResult::WrongVersion;
    case ProjectDecodeResult::Ok:
        break;
    }
    return ProjectFileResult::Ok;
}

ProjectFileResult WriteProjectFile(const std::string& path, const ProjectRecord& project) {
    const ProjectBytes bytes = EncodeProject(project);
    // A link stays a link: the file it points to is the one replaced.
    const std::string target = FollowLinks(path);
    std::string temporary = target + ".XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        return ProjectFileResult::OpenFailed;
    }
    // mkstemp creates the file readable by its owner only; keep the mode of
    // the project being replaced, or make a document as the umask allows.
    struct stat existing {};
    ::fchmod(fd, ::stat(target.c_str(), &existing) == 0 ? (existing.st_mode & 07777)
                                                        : (0666 & ~CurrentUmask()));
    const bool written = kmx::WriteAllAt(fd, bytes.data(), bytes.size(), 0) && ::fsync(fd) == 0;
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), target.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return ProjectFileResult::WriteFailed;
    }
    return ProjectFileResult::Ok;
}

ProjectRecord ProjectFromJob(const ConvertJob& job, const std::string& compressorName) {
    ProjectRecord p;
    p.inputPath = job.inputPath;
    p.outputPath = job.outputPath;
    p.compressorSettings = job.compressorSettings;
    p.compressorName = compressorName;
    for (std::size_t i = 0; i < p.checks.size(); ++i) {
        p.checks[i] = job.*kCheckFields[i];
    }
    for (std::size_t i = 0; i < p.overlays.size(); ++i) {
        const OverlaySettings& s = job.overlays[i];
        ProjectOverlay& o = p.overlays[i];
        PairOverlaySettings(s, o, [](const auto& from, auto& to) { to = from; });
        o.borderColor = {s.borderColor[0], s.borderColor[1], s.borderColor[2]};
    }
    return p;
}

void ApplyProjectToJob(const ProjectRecord& project, ConvertJob& job) {
    job.inputPath = project.inputPath;
    job.outputPath = project.outputPath;
    job.compressorSettings = project.compressorSettings;
    for (std::size_t i = 0; i < project.checks.size(); ++i) {
        job.*kCheckFields[i] = project.checks[i] & 1;
    }
    for (std::size_t i = 0; i < project.overlays.size(); ++i) {
        const ProjectOverlay& o = project.overlays[i];
        OverlaySettings& s = job.overlays[i];
        PairOverlaySettings(s, o, [](auto& to, const auto& from) { to = from; });
        std::copy(o.borderColor.begin(), o.borderColor.end(), s.borderColor.begin());
    }
}
