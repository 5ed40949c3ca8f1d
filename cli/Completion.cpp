#include "cli/Completion.h"

#include "codec/CompressorInfo.h"

#include <cctype>
#include <cstdio>
#include <set>

namespace {

// The extensions of the video files offered, each also in capitals.
const char* const kVideoExtensions[] = {"avi", "mp4", "m4v",  "mov", "mkv",  "webm",
                                        "ts",  "mts", "m2ts", "mpg", "mpeg", "flv",
                                        "wmv", "ogv", "3gp",  "vob", "dv",   "mxf"};

class CCandidates {
public:
    explicit CCandidates(std::string typed) : typed_(std::move(typed)) {}

    void Word(const std::string& word) {
        if (word.starts_with(typed_) && seen_.insert(word).second) {
            std::printf("%s\n", word.c_str());
        }
    }
    // The values a value name stands for; prefix goes before each word.
    void Values(const std::string& typeName, const std::string& prefix = "") {
        std::size_t start = 0;
        while (start <= typeName.size()) {
            std::size_t end = typeName.find('|', start);
            end = end == std::string::npos ? typeName.size() : end;
            Value(typeName.substr(start, end - start), prefix);
            start = end + 1;
        }
    }
    // The file names asked for, as the last line.
    void Finish() const {
        if (anyFile_) {
            std::printf("::files\n");
        } else if (!extensions_.empty()) {
            std::printf("::files%s\n", extensions_.c_str());
        } else if (dirs_) {
            std::printf("::dirs\n");
        }
    }

private:
    void Value(const std::string& part, const std::string& prefix) {
        if (part == "FOURCC") {
            for (const kmx::CompressorListing& item : kmx::ListCompressors(false)) {
                std::string code = kmx::FourccText(item.fourcc);
                code.erase(code.find_last_not_of(' ') + 1);
                Word(prefix + code);
            }
        } else if (!prefix.empty()) {
            // "--option=" is completed with words only.
            if (!part.empty() && (std::islower(static_cast<unsigned char>(part[0])) ||
                                  std::isdigit(static_cast<unsigned char>(part[0])))) {
                Word(prefix + part);
            }
        } else if (part == "PROJECT") {
            Extension("kmx");
        } else if (part == "VIDEO") {
            for (const char* extension : kVideoExtensions) {
                Extension(extension);
            }
        } else if (part == "FILE") {
            anyFile_ = true;
        } else if (part == "DIR") {
            dirs_ = true;
        } else if (!part.empty() && (std::islower(static_cast<unsigned char>(part[0])) ||
                                     std::isdigit(static_cast<unsigned char>(part[0])))) {
            Word(part);
        }
    }
    void Extension(const std::string& lower) {
        std::string upper = lower;
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        extensions_ += " " + lower + " " + upper;
    }

    std::string typed_;
    std::set<std::string> seen_;
    std::string extensions_;
    bool anyFile_ = false;
    bool dirs_ = false;
};

const CLI::App* Command(const CLI::App& table, const std::string& name) {
    for (const CLI::App* command : table.get_subcommands({})) {
        if (command->get_name() == name) {
            return command;
        }
    }
    return nullptr;
}

// Every name of every option; a flag that takes "=value" also with each value.
void OptionNames(const CLI::App& command, CCandidates& out) {
    for (const CLI::Option* option : command.get_options()) {
        if (option->get_positional()) {
            continue;
        }
        for (const std::string& name : option->get_lnames()) {
            out.Word("--" + name);
            const std::string type = option->get_type_name();
            if (option->get_expected_max() == 0 && type.starts_with("[=")) {
                out.Values(type.substr(2, type.size() - 3), "--" + name + "=");
            }
        }
        for (const std::string& name : option->get_snames()) {
            out.Word("-" + name);
        }
    }
}

const CLI::Option* Positional(const CLI::App& command) {
    for (const CLI::Option* option : command.get_options()) {
        if (option->get_positional()) {
            return option;
        }
    }
    return nullptr;
}

// An option of command that takes its value from the next word.
const CLI::Option* TakesValue(const CLI::App& command, const std::string& word) {
    if (!word.starts_with("-") || word.find('=') != std::string::npos) {
        return nullptr;
    }
    const CLI::Option* option = command.get_option_no_throw(word);
    return option != nullptr && option->get_expected_max() > 0 && !option->get_positional()
               ? option
               : nullptr;
}

void Complete(const CLI::App& table, const std::vector<std::string>& words, CCandidates& out) {
    if (words.size() == 1) {
        for (const CLI::App* command : table.get_subcommands({})) {
            out.Word(command->get_name());
        }
        OptionNames(table, out);
        return;
    }
    const CLI::App* command = Command(table, words[0]);
    if (command == nullptr) {
        return;
    }
    const std::string& typed = words.back();
    const std::string& before = words[words.size() - 2];
    const std::size_t equals = typed.find('=');
    if (const CLI::Option* option = TakesValue(*command, before)) {
        out.Values(option->get_type_name());
    } else if (typed.starts_with("-") && equals != std::string::npos) {
        const CLI::Option* named = command->get_option_no_throw(typed.substr(0, equals));
        if (named != nullptr) {
            std::string type = named->get_type_name();
            if (type.starts_with("[=")) {
                type = type.substr(2, type.size() - 3);
            }
            out.Values(type, typed.substr(0, equals + 1));
        }
    } else if (typed.starts_with("-")) {
        OptionNames(*command, out);
    } else if (const CLI::Option* positional = Positional(*command)) {
        out.Values(positional->get_type_name());
    }
}

} // namespace

int RunCompletion(const CLI::App& table, const std::vector<std::string>& words) {
    const std::vector<std::string> asked = words.empty() ? std::vector<std::string>{""} : words;
    CCandidates out(asked.back());
    Complete(table, asked, out);
    out.Finish();
    return 0;
}
