#include "TextModel.h"

#include <algorithm>

namespace drel::fuzz {

void ModelShow(std::string& text, std::string_view bytes) {
    if (text.size() >= 16384) {
        text.erase(0, 4097);
    }
    std::string run(bytes);
    std::erase(run, '\0');
    size_t erase = 0;
    for (size_t bs = run.find('\b'); bs != std::string::npos; bs = run.find('\b')) {
        if (bs == 0) {
            ++erase;
            run.erase(0, 1);
        } else {
            run.erase(bs - 1, 2);
        }
    }
    text.resize(text.size() - std::min(erase, text.size()));
    std::erase(run, '\n');
    for (size_t cr = run.find('\r'); cr != std::string::npos; cr = run.find('\r', cr + 2)) {
        run.insert(cr + 1, 1, '\n');
    }
    text += run;
}

std::string Filler(size_t length) {
    std::string text(length, 'x');
    for (size_t i = 63; i + 1 < length; i += 65) {
        text[i] = '\r';
        text[i + 1] = '\n';
    }
    return text;
}

}  // namespace drel::fuzz
