#include "app/DrelCommandLine.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iterator>
#include <limits>
#include <string_view>
#include <vector>

namespace drel {

namespace {

// One of the program's options: its name, what its value may be (for the messages), and how
// that value goes into the choices; false for a value it does not take.
struct Option {
    const char* name;
    const char* takes;
    bool (*apply)(const std::string& value, PortChoices& choices);
};

// Sets `index` to the position of `value` among `names`; false when it is none of them.
bool IndexOf(const std::string& value, std::initializer_list<const char*> names, int32_t& index) {
    const auto found = std::find(names.begin(), names.end(), value);
    if (found == names.end()) {
        return false;
    }
    index = static_cast<int32_t>(found - names.begin());
    return true;
}

bool ApplyPort(const std::string& value, PortChoices& choices) {
    choices.port = value;
    return true;
}

// A positive whole number that the dialog's reading of the baud text keeps as it stands. The
// text is kept as given, so the title shows it as the dialog shows it typed.
bool ApplyBaud(const std::string& value, PortChoices& choices) {
    const char* const end = value.data() + value.size();
    uint32_t rate = 0;
    const auto [stop, error] = std::from_chars(value.data(), end, rate);
    if (error != std::errc{} || stop != end || rate == 0 ||
        rate > static_cast<uint32_t>(std::numeric_limits<int32_t>::max())) {
        return false;
    }
    choices.baud = value;
    return true;
}

bool ApplyDataBits(const std::string& value, PortChoices& choices) {
    return IndexOf(value, {"7", "8"}, choices.dataBits);
}

bool ApplyParity(const std::string& value, PortChoices& choices) {
    return IndexOf(value, {"none", "odd", "even"}, choices.parity);
}

bool ApplyStopBits(const std::string& value, PortChoices& choices) {
    return IndexOf(value, {"1", "2"}, choices.stopBits);
}

bool ApplyFlow(const std::string& value, PortChoices& choices) {
    return IndexOf(value, {"none", "rtscts", "xonxoff"}, choices.flowControl);
}

constexpr const char* kPort = "--port";

constexpr Option kOptions[] = {
    {kPort, "a port name", ApplyPort},
    {"--baud", "a whole number from 1 to 2147483647", ApplyBaud},
    {"--data-bits", "7 or 8", ApplyDataBits},
    {"--parity", "none, odd or even", ApplyParity},
    {"--stop-bits", "1 or 2", ApplyStopBits},
    {"--flow", "none, rtscts or xonxoff", ApplyFlow},
};

// "--port, --baud, ... and --flow".
std::string OptionNames() {
    std::string names;
    for (const Option& option : kOptions) {
        const bool last = &option == std::end(kOptions) - 1;
        names += names.empty() ? "" : last ? " and " : ", ";
        names += option.name;
    }
    return names;
}

const Option* FindOption(const std::string& name) {
    for (const Option& option : kOptions) {
        if (name == option.name) {
            return &option;
        }
    }
    return nullptr;
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

// Reads the program's options into `choices` and leaves every other word, in order, in
// `shellWords`. Returns the error line, or "" when every option was sound.
std::string ReadOptions(std::span<const std::string> words, PortChoices& choices,
                        std::vector<const Option*>& given, std::vector<std::string>& shellWords) {
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string& word = words[i];
        if (!IsOptionWord(word)) {
            shellWords.push_back(word);
            continue;
        }
        const size_t equals = word.find('=');
        const std::string name = word.substr(0, equals);
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

// What a sound set of options still cannot do together with the framework's words.
std::string CheckCombination(const std::vector<const Option*>& given,
                             const CCommandLineInfo& shell) {
    const bool port = std::any_of(given.begin(), given.end(), [](const Option* option) {
        return std::string_view(option->name) == kPort;
    });
    if (!port && !given.empty()) {
        return std::string("drel: ") + given.front()->name +
               " sets up the port that --port opens; give --port too";
    }
    if (port && !shell.m_strFileName.empty()) {
        return "drel: --port opens a port at start-up and cannot open the file '" +
               shell.m_strFileName + "' too";
    }
    if (port && shell.m_nShellCommand != CCommandLineInfo::FileNew) {
        return "drel: --port opens a port at start-up and cannot print too";
    }
    return "";
}

}  // namespace

DrelCommandLine ParseDrelCommandLine(std::span<const std::string> words) {
    DrelCommandLine commandLine;
    PortChoices choices;
    std::vector<const Option*> given;
    std::vector<std::string> shellWords;
    commandLine.error = ReadOptions(words, choices, given, shellWords);
    if (!commandLine.error.empty()) {
        return commandLine;
    }
    commandLine.shell.ParseArguments(shellWords);
    commandLine.error = CheckCombination(given, commandLine.shell);
    if (commandLine.error.empty() && !given.empty()) {
        commandLine.port = choices;
    }
    return commandLine;
}

}  // namespace drel
