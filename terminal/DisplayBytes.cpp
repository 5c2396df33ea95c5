#include "DisplayBytes.h"

#include <string>

namespace drel {

int DisplayBytes(OutputView* view, const uint8_t* bytes, int count) {
    if (view == nullptr) {
        return 1;
    }
    std::string text;
    text.reserve(count > 0 ? static_cast<size_t>(count) : 0);
    for (int i = 0; i < count; ++i) {
        if (bytes[i] != 0) {
            text.push_back(static_cast<char>(bytes[i]));
        }
    }
    view->ShowText(text);
    return 1;
}

}  // namespace drel
