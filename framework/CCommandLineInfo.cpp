#include "framework/CCommandLineInfo.h"

#include <algorithm>
#include <cctype>

namespace drel {

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool IsKnownSwitch(const std::string& name) {
    const std::string lower = Lower(name);
    return lower == "p" || lower == "pt";
}

}  // namespace

void CCommandLineInfo::ParseArguments(std::span<const std::string> arguments) {
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        const bool last = i + 1 == arguments.size();
        const bool dash = word.size() > 1 && word[0] == '-';
        const bool slash = word.size() > 1 && word[0] == '/' && IsKnownSwitch(word.substr(1));
        if (dash || slash) {
            ParseParam(word.substr(1), true, last);
        } else {
            ParseParam(word, false, last);
        }
    }
}

void CCommandLineInfo::ParseParam(const std::string& param, bool flag, bool last) {
    if (flag) {
        const std::string name = Lower(param);
        if (name == "p") {
            m_nShellCommand = FilePrint;
        } else if (name == "pt") {
            m_nShellCommand = FilePrintTo;
        }
    } else if (m_strFileName.empty()) {
        m_strFileName = param;
    } else if (m_nShellCommand == FilePrintTo && m_strPrinterName.empty()) {
        m_strPrinterName = param;
    }
    if (last && m_nShellCommand == FileNew && !m_strFileName.empty()) {
        m_nShellCommand = FileOpen;
    }
}

}  // namespace drel
