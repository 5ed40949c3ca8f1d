#include "tests/support/ExternalTools.h"

#include "tests/support/TempDir.h"

#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iterator>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

bool HaveTool(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream dirs(path != nullptr ? path : "");
    for (std::string dir; std::getline(dirs, dir, ':');) {
        if (access((dir + "/" + name).c_str(), X_OK) == 0) {
            return true;
        }
    }
    return false;
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream words(text);
    return {std::istream_iterator<std::string>(words), {}};
}

int RunTool(const std::vector<std::string>& argv, std::string* output, std::string* errors) {
    if (argv.empty()) {
        return -1;
    }
    // The program writes into files, so that neither of its outputs can fill
    // up and stall it.
    const TempDir dir;
    const std::string files[2] = {dir.File("out"), dir.File("err")};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, files[0].c_str(), O_WRONLY | O_CREAT, 0600);
    posix_spawn_file_actions_addopen(&actions, 2, files[1].c_str(), O_WRONLY | O_CREAT, 0600);
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) < 0) {
        return -1;
    }
    for (const auto& [file, sink] : {std::pair{&files[0], output}, std::pair{&files[1], errors}}) {
        if (sink != nullptr) {
            const std::vector<std::uint8_t> bytes = ReadWholeFile(*file);
            sink->append(bytes.begin(), bytes.end());
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

FfmpegSound DecodeAudioWithFfmpeg(const std::string& path) {
    FfmpegSound audio;
    std::string bytes;
    std::string warnings;
    audio.ok = RunTool({"ffmpeg", "-nostdin", "-v", "warning", "-i", path, "-map", "0:a:0", "-f",
                        "s16le", "-acodec", "pcm_s16le", "-"},
                       &bytes, &warnings) == 0;
    std::istringstream lines(warnings);
    for (std::string line; std::getline(lines, line);) {
        if (line.rfind("Guessed Channel Layout", 0) != 0) {
            audio.warnings += line + "\n";
        }
    }
    audio.samples.resize(bytes.size() / 2); // little-endian, as this machine
    std::memcpy(audio.samples.data(), bytes.data(), 2 * audio.samples.size());
    return audio;
}

std::string ProbeAudioStream(const std::string& path, const std::string& entry) {
    std::string out;
    if (RunTool({"ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                 "stream=" + entry, "-of", "default=noprint_wrappers=1:nokey=1", path},
                &out) != 0) {
        return {};
    }
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) {
        out.pop_back();
    }
    return out;
}

std::vector<std::string> FfmpegFrameMd5s(const std::string& path) {
    std::string out;
    std::vector<std::string> sums;
    RunTool({"ffmpeg", "-v", "error", "-i", path, "-map", "0:v", "-f", "framemd5", "-"}, &out);
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line[0] != '#') {
            sums.push_back(line.substr(line.find_last_of(' ') + 1));
        }
    }
    return sums;
}

int ProbeVideoPackets(const std::string& path) {
    std::string out;
    const int rc = RunTool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-count_packets",
                            "-show_entries", "stream=nb_read_packets", "-of", "csv=p=0", path},
                           &out);
    return rc == 0 && !out.empty() ? std::stoi(out) : -1;
}
