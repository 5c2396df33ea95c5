#include "app/DrelCommandLine.h"

#include <algorithm>
#include <string_view>
#include <vector>

#include "connection/PortOptions.h"

namespace drel {

namespace {

// The program's options that set up the port: --port, then the line and log options.
using Option = PortOption;

// The options that take no value, and what each turns on.
struct Switch {
    const char* name;
    bool DrelCommandLine::*turnsOn;
};

bool ApplyPort(const std::string& value, PortChoices& choices) {
    choices.port = value;
    return true;
}

constexpr const char* kPort = "--port";

constexpr Option kPortOption = {kPort, "a port name", ApplyPort};

constexpr Switch kSwitches[] = {
    {"--reconnect", &DrelCommandLine::reconnect},
    {"--list-ports", &DrelCommandLine::listPorts},
    {"--help", &DrelCommandLine::help},
    {"--version", &DrelCommandLine::version},
};

// "--port, --baud, ... and --version".
std::string OptionNames() {
    std::vector<const char*> all{kPortOption.name};
    for (const Option& option : PortOptions()) {
        all.push_back(option.name);
    }
    for (const Switch& flag : kSwitches) {
        all.push_back(flag.name);
    }
    std::string names;
    for (size_t i = 0; i < all.size(); ++i) {
        names += i == 0 ? "" : i + 1 == all.size() ? " and " : ", ";
        names += all[i];
    }
    return names;
}

const Switch* FindSwitch(const std::string& name) {
    for (const Switch& flag : kSwitches) {
        if (name == flag.name) {
            return &flag;
        }
    }
    return nullptr;
}

const Option* FindOption(const std::string& name) {
    return name == kPortOption.name ? &kPortOption : FindPortOption(name);
}

bool IsOptionWord(const std::string& word) {
    return word.size() > 2 && word.starts_with("--");
}

// The value of the option word `words[i]`: what follows its '=' (at `equals`), or else the next
// word, which `i` then moves to, unless that is an option itself. "" when there is none.
std::string TakeValue(std::span<const std::string> words, size_t& i, size_t equals) {
    if (equals != std::string::npos) {
        return words[i].substr(equals + 1);
    }
    if (i + 1 < words.size() && !IsOptionWord(words[i + 1])) {
        return words[++i];
    }
    return "";
}

// Turns on what the switch `word` names; the error line, or "" when it is sound.
std::string ReadSwitch(const Switch& flag, const std::string& word, DrelCommandLine& commandLine) {
    if (word != flag.name) {
        return "drel: " + std::string(flag.name) + " takes no value";
    }
    if (commandLine.*flag.turnsOn) {
        return "drel: " + word + " is given twice";
    }
    commandLine.*flag.turnsOn = true;
    return "";
}

// Reads the program's options into `choices` and `commandLine` and leaves every other word, in
// order, in `shellWords`. Returns the error line, or "" when every option was sound.
std::string ReadOptions(std::span<const std::string> words, PortChoices& choices,
                        std::vector<const Option*>& given, std::vector<std::string>& shellWords,
                        DrelCommandLine& commandLine) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!IsOptionWord(word)) {
            shellWords.push_back(word);
            continue;
        }
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
        if (const Switch* flag = FindSwitch(name)) {
            if (std::string error = ReadSwitch(*flag, word, commandLine); !error.empty()) {
                return error;
            }
            continue;
        }
        const Option* option = FindOption(name);
        if (option == nullptr) {
            return "drel: unknown option '" + name + "'; the options are " + OptionNames();
        }
        if (std::find(given.begin(), given.end(), option) != given.end()) {
            return "drel: " + name + " is given twice";
        }
        given.push_back(option);
        const std::string value = TakeValue(words, i, equals);
        if (value.empty()) {
            return "drel: " + name + " needs a value (" + option->takes + ")";
        }
        if (!option->apply(value, choices)) {
            return "drel: " + name + " takes " + option->takes + ", not '" + value + "'";
        }
    }
    return "";
}

bool Gives(const std::vector<const Option*>& given, std::string_view name) {
    return std::any_of(given.begin(), given.end(),
                       [name](const Option* option) { return option->name == name; });
}

bool GivesPort(const std::vector<const Option*>& given) {
    return Gives(given, kPort);
}

// A line setting or a log needs the port it goes with, and a log format the log.
std::string CheckPortGiven(const std::vector<const Option*>& given) {
    if (!given.empty() && !GivesPort(given)) {
        return std::string("drel: ") + given.front()->name +
               " sets up the port that --port opens; give --port too";
    }
    if (Gives(given, "--log-format") && !Gives(given, "--log")) {
        return "drel: --log-format says how --log writes; give --log too";
    }
    return "";
}

// What a sound set of options still cannot do together with the framework's words.
std::string CheckCombination(const std::vector<const Option*>& given,
                             const CCommandLineInfo& shell) {
    const bool port = GivesPort(given);
    if (port && !shell.m_strFileName.empty()) {
        return "drel: --port opens a port at start-up and cannot open the file '" +
               shell.m_strFileName + "' too";
    }
    if (port && shell.m_nShellCommand != CCommandLineInfo::FileNew) {
        return "drel: --port opens a port at start-up and cannot print too";
    }
    return "";
}

// The options read, and the words they leave to the framework.
struct OptionsRead {
    DrelCommandLine commandLine;
    std::vector<const Option*> given;
    std::vector<std::string> shellWords;
};

OptionsRead ReadAllOptions(std::span<const std::string> words) {
    OptionsRead read;
    PortChoices choices;
    read.commandLine.error =
        ReadOptions(words, choices, read.given, read.shellWords, read.commandLine);
    if (read.commandLine.error.empty()) {
        read.commandLine.error = CheckPortGiven(read.given);
    }
    if (read.commandLine.error.empty() && !read.given.empty()) {
        read.commandLine.port = choices;
    }
    return read;
}

}  // namespace

DrelCommandLine ReadDrelOptions(std::span<const std::string> words) {
    return ReadAllOptions(words).commandLine;
}

DrelCommandLine ParseDrelCommandLine(std::span<const std::string> words) {
    OptionsRead read = ReadAllOptions(words);
    DrelCommandLine& commandLine = read.commandLine;
    if (!commandLine.error.empty()) {
        return commandLine;
    }
    commandLine.shell.ParseArguments(read.shellWords);
    commandLine.error = CheckCombination(read.given, commandLine.shell);
    if (!commandLine.error.empty()) {
        commandLine.port.reset();
    }
    return commandLine;
}

}  // namespace drel
