#include "cli/BatchRunner.h"

#include "cli/CommandTable.h"
#include "cli/Interrupt.h"
#include "cli/OverlayOption.h"
#include "cli/TerminalText.h"
#include "media/AviReader.h"
#include "media/OutputContainer.h"
#include "media/io/WorkThreads.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

enum class Outcome { NotStarted, Finished, Skipped, Failed, Stopped };

struct BatchItem {
    std::string input;
    std::string output;
    Outcome outcome = Outcome::NotStarted;
    std::string message; // why it failed or was skipped
};

// A conversion running in a child process; its standard error comes
// through fd.
struct Running {
    std::size_t item = 0;
    int slot = 0;
    pid_t pid = -1;
    int fd = -1;
    std::string errors;
};

bool IsProject(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == ".kmx";
}

// An output that opens and holds every frame its input gives.
bool OutputComplete(const BatchItem& item) {
    std::error_code error;
    if (!fs::exists(item.output, error)) {
        return false;
    }
    CAviReader in;
    CAviReader out;
    return in.Open(item.input.c_str()) && out.Open(item.output.c_str()) &&
           in.GetVideoLength(0) > 0 && out.GetVideoLength(0) >= in.GetVideoLength(0);
}

// The lines a failed conversion printed, without those that only say it
// ended.
std::string FailureText(const std::string& errors) {
    std::string text;
    std::size_t start = 0;
    while (start < errors.size()) {
        std::size_t end = errors.find('\n', start);
        end = end == std::string::npos ? errors.size() : end;
        const std::string line = errors.substr(start, end - start);
        if (!line.empty() && !line.starts_with("Converting aborted") &&
            !line.starts_with("Stopping")) {
            text += (text.empty() ? "" : " / ") + line;
        }
        start = end + 1;
    }
    return text.empty() ? "the conversion failed" : text;
}

// Starts argv as a child in a process group of its own, its standard error
// into a pipe. SIGINT and SIGTERM stay blocked from the fork until the
// child is known to the handler (and in the child until its handler is
// installed), so that none is lost in between.
bool Launch(Running& run, const std::vector<std::string>& argv) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        return false;
    }
    std::vector<char*> pointers;
    for (const std::string& a : argv) {
        pointers.push_back(const_cast<char*>(a.c_str()));
    }
    pointers.push_back(nullptr);
    sigset_t both;
    sigset_t old;
    sigemptyset(&both);
    sigaddset(&both, SIGINT);
    sigaddset(&both, SIGTERM);
    sigprocmask(SIG_BLOCK, &both, &old);
    run.pid = fork();
    if (run.pid == 0) {
        setpgid(0, 0);
        dup2(fds[1], STDERR_FILENO);
        execv("/proc/self/exe", pointers.data());
        _exit(127);
    }
    close(fds[1]);
    if (run.pid > 0) {
        ForwardInterruptsTo(run.slot, run.pid);
        run.fd = fds[0];
    } else {
        close(fds[0]);
    }
    sigprocmask(SIG_SETMASK, &old, nullptr);
    return run.pid > 0;
}

class CBatch {
public:
    CBatch(std::vector<BatchItem> items, std::vector<std::string> common, int jobs, bool skip,
           bool quiet)
        : items_(std::move(items)), common_(std::move(common)), jobs_(jobs), skip_(skip),
          quiet_(quiet) {}

    void Run() {
        InstallInterruptHandler();
        std::size_t next = 0;
        for (;;) {
            while (!InterruptRequested() && running_.size() < static_cast<std::size_t>(jobs_) &&
                   next < items_.size()) {
                Start(next++);
            }
            if (running_.empty()) {
                return;
            }
            Wait();
        }
    }
    int Summary() const;

private:
    int FreeSlot() const {
        for (int slot = 0;; ++slot) {
            if (std::none_of(running_.begin(), running_.end(),
                             [slot](const Running& r) { return r.slot == slot; })) {
                return slot;
            }
        }
    }
    void Start(std::size_t index) {
        BatchItem& item = items_[index];
        if (!item.message.empty()) { // refused before the start
            return;
        }
        if (skip_ && OutputComplete(item)) {
            item.outcome = Outcome::Skipped;
            Report(item);
            return;
        }
        std::vector<std::string> argv = {"kadrimix-cli", "convert"};
        argv.insert(argv.end(), common_.begin(), common_.end());
        argv.push_back("--input=" + item.input);
        argv.push_back("--output=" + item.output);
        Running run;
        run.item = index;
        run.slot = FreeSlot();
        if (!Launch(run, argv)) {
            item.outcome = Outcome::Failed;
            item.message = "the conversion could not be started";
            Report(item);
            return;
        }
        running_.push_back(run);
    }
    // Reads what the conversions print until one of them ends.
    void Wait() {
        std::vector<pollfd> fds;
        for (const Running& run : running_) {
            fds.push_back({run.fd, POLLIN, 0});
        }
        if (poll(fds.data(), fds.size(), 200) <= 0) {
            return; // a signal, or nothing yet
        }
        for (std::size_t i = fds.size(); i-- > 0;) {
            if (fds[i].revents == 0) {
                continue;
            }
            char buffer[4096];
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got > 0) {
                running_[i].errors.append(buffer, static_cast<std::size_t>(got));
            } else if (got == 0 || errno != EINTR) {
                End(running_[i]);
                running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(i));
            }
        }
    }
    void End(const Running& run) {
        close(run.fd);
        int status = 0;
        while (waitpid(run.pid, &status, 0) < 0 && errno == EINTR) {
        }
        ForwardInterruptsTo(run.slot, 0);
        BatchItem& item = items_[run.item];
        const bool stopped =
            (WIFEXITED(status) && WEXITSTATUS(status) == 130) ||
            (WIFSIGNALED(status) && (WTERMSIG(status) == SIGINT || WTERMSIG(status) == SIGTERM));
        if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
            item.outcome = Outcome::Finished;
        } else if (stopped) {
            item.outcome = Outcome::Stopped;
        } else {
            item.outcome = Outcome::Failed;
            item.message = FailureText(run.errors);
        }
        Report(item);
    }
    void Report(const BatchItem& item) const;

    std::vector<BatchItem> items_;
    std::vector<std::string> common_;
    int jobs_;
    bool skip_;
    bool quiet_;
    std::vector<Running> running_;
};

const char* OutcomeText(Outcome outcome) {
    switch (outcome) {
    case Outcome::Finished:
        return "finished";
    case Outcome::Skipped:
        return "skipped";
    case Outcome::Failed:
        return "failed";
    case Outcome::Stopped:
        return "stopped";
    default:
        return "not started";
    }
}

// "finished  IN -> OUT", "failed  IN -> OUT: why". The conversion's own
// lines come escaped already.
void PrintItem(const BatchItem& item) {
    std::fprintf(stderr, "%-11s  %s -> %s", OutcomeText(item.outcome),
                 Printable(item.input).c_str(), Printable(item.output).c_str());
    if (item.outcome == Outcome::Failed) {
        std::fprintf(stderr, ": %s", item.message.c_str());
    } else if (item.outcome == Outcome::Skipped) {
        std::fprintf(stderr, " (complete)");
    }
    std::fputc('\n', stderr);
}

void CBatch::Report(const BatchItem& item) const {
    if (!quiet_) {
        PrintItem(item);
    }
}

int CBatch::Summary() const {
    int counts[5] = {};
    for (const BatchItem& item : items_) {
        ++counts[static_cast<int>(item.outcome)];
    }
    std::fprintf(stderr,
                 "\nBatch of %zu: %d finished, %d skipped, %d failed, %d stopped, %d not "
                 "started\n",
                 items_.size(), counts[1], counts[2], counts[3], counts[4], counts[0]);
    for (const BatchItem& item : items_) {
        PrintItem(item);
    }
    if (counts[static_cast<int>(Outcome::Failed)] > 0) {
        return 1;
    }
    return InterruptRequested() ? 130 : 0;
}

} // namespace

int RunBatch(const CLI::App& command, const ConvertOptions& options) {
    std::string error;
    if (!CheckConvertOptions(command, options, &error)) {
        return RefuseOptions(command, error);
    }
    for (const char* single : {"--input", "--output"}) {
        if (command.count(single) > 0) {
            return RefuseOptions(command, std::string(single) +
                                              " and --output-dir cannot be combined: the "
                                              "inputs are the FILEs");
        }
    }
    std::vector<std::string> projects;
    std::vector<BatchItem> items;
    for (const std::string& file : options.files) {
        if (IsProject(file)) {
            projects.push_back(file);
        } else {
            items.push_back({file, "", Outcome::NotStarted, ""});
        }
    }
    if (projects.size() > 1 || items.empty()) {
        return RefuseOptions(command, items.empty() ? "no videos to convert"
                                                    : "one project file at most ('" + projects[0] +
                                                          "' and '" + projects[1] + "')");
    }
    // The job once, for the checks a conversion makes of its options (the
    // project readable, the overlays) and the container of the outputs.
    ConvertJob job;
    if (!MakeJobFromOptions(command, options, projects.empty() ? "" : projects[0], job, &error)) {
        return RefuseOptions(command, error);
    }
    std::error_code made;
    fs::create_directories(options.outputDir, made);
    if (made) {
        PrintLine(stderr, "ERROR: %s: %s", options.outputDir.c_str(), made.message().c_str());
        return 1;
    }
    const auto container = kmx::ContainerForName(job.outputFormat);
    const std::string extension =
        kmx::ContainerExtension(container ? *container : kmx::OutputContainer::Avi);
    std::set<std::string> outputs;
    for (BatchItem& item : items) {
        item.output =
            (fs::path(options.outputDir) / fs::path(item.input).stem()).string() + extension;
        if (!outputs.insert(item.output).second) {
            item.outcome = Outcome::Failed;
            item.message = "another file of the batch has the same output";
        }
    }
    std::vector<std::string> common =
        GivenOptions(command, {"--output-dir", "--jobs", "--skip-existing", "--threads", "--quiet",
                               "--input", "--output"});
    if (!projects.empty()) {
        common.push_back(projects[0]);
    }
    const int threads = std::max(1, kmx::WorkThreads() / options.jobs);
    common.insert(common.end(), {"--quiet", "--threads=" + std::to_string(threads)});
    CBatch batch(std::move(items), std::move(common), options.jobs, options.skipExisting,
                 options.quiet);
    batch.Run();
    return batch.Summary();
}
