// How many threads a conversion keeps busy: the decoders and encoders use
// this many, and the frame loop reads the next frame ahead while the current
// one is worked on when it is more than one.
#pragma once

namespace kmx {

inline constexpr int kMaxWorkThreads = 64;

// What SetWorkThreads set, else KADRIMIX_THREADS when it is a number from 1
// to kMaxWorkThreads, else the number of cores of the machine (at most
// kMaxWorkThreads).
int WorkThreads();
// Sets the count for the process (clamped to 1..kMaxWorkThreads); 0 forgets
// what was set.
void SetWorkThreads(int count);

} // namespace kmx
