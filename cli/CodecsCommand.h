// "kadrimix-cli codecs": lists the video compressors this machine offers.
#pragma once

// all: also the compressors whose encoder this machine's libavcodec lacks,
// marked as such. Returns the exit status.
int RunCodecsCommand(bool all);
