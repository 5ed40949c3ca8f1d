// What the system calls an errno value ("No space left on device"), for
// messages that tell the user why a file could not be written.
#pragma once

#include <string>

namespace kmx {

// The system's text for error; for a file lock another process holds
// (EWOULDBLOCK), "in use by another conversion", as only our runs lock
// the files they write and read.
std::string FileErrorText(int error);

} // namespace kmx
