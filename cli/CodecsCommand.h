// "kadrimix-cli codecs": lists the video compressors this machine offers.
#pragma once

// argv[0] is the command name; "--all" also lists the compressors whose
// encoder this machine's libavcodec lacks, marked as such. Returns the exit
// status (0, or 2 for a bad option).
int RunCodecsCommand(int argc, char** argv);
