#include "tests/support/ExternalTools.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iterator>
#include <poll.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

bool HaveTool(const std::string& name) {
    const char* path = std::getenv("PATH");
    if (path == nullptr) {
        return false;
    }
    std::string dirs = path;
    std::size_t start = 0;
    while (start <= dirs.size()) {
        std::size_t end = dirs.find(':', start);
        if (end == std::string::npos) {
            end = dirs.size();
        }
        const std::string candidate = dirs.substr(start, end - start) + "/" + name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return true;
        }
        start = end + 1;
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
    int outPipe[2];
    int errPipe[2];
    if (pipe(outPipe) != 0) {
        return -1;
    }
    if (pipe(errPipe) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return -1;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, outPipe[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errPipe[1], 2);
    posix_spawn_file_actions_addclose(&actions, outPipe[0]);
    posix_spawn_file_actions_addclose(&actions, errPipe[0]);

    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(outPipe[1]);
    close(errPipe[1]);
    if (spawned != 0) {
        close(outPipe[0]);
        close(errPipe[0]);
        return -1;
    }

    // Drain both pipes together so neither can fill up and stall the child.
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {output, errors};
    int open = 2;
    char buffer[65536];
    while (open > 0) {
        if (poll(fds, 2, -1) < 0) {
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd >= 0 && (fds[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                } else if (sinks[i] != nullptr) {
                    sinks[i]->append(buffer, static_cast<std::size_t>(n));
                }
            }
        }
    }
    int status = 0;
    if (waitpid(pid, &status, 0) < 0) {
        return -1;
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
    audio.samples.resize(bytes.size() / 2);
    for (std::size_t i = 0; i < audio.samples.size(); ++i) {
        const auto low = static_cast<std::uint8_t>(bytes[2 * i]);
        const auto high = static_cast<std::uint8_t>(bytes[2 * i + 1]);
        audio.samples[i] = static_cast<std::int16_t>(low | (high << 8));
    }
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
