// Unnamed temporary files: nothing of them is left on disk once the
// descriptor closes, also when the process is killed.
#pragma once

#include <cstdint>

namespace kmx {

// Opens a file for reading and writing in $TMPDIR (or /tmp when it is unset)
// that has no name: O_TMPFILE, or where the file system lacks it, a file made
// with mkstemp (named prefix followed by six random letters) and removed at
// once. The descriptor, or -1 when no file can be made.
int OpenTemporaryFile(const char* prefix);

// Reserves bytes of disk for the file, so that writes up to that size cannot
// fail for want of space. True also where the file system cannot reserve
// (the writes then report a full disk themselves); false when the space is
// not there.
bool ReserveFileSpace(int fd, std::uint64_t bytes);

} // namespace kmx
