#include "DisplayBytes.h"

#include <cstring>
#include <string>

namespace drel {

int DisplayBytes(OutputView* view, const uint8_t* bytes, int count) {
    if (view == nullptr) {
        return 1;
    }
    const auto* chars = reinterpret_cast<const char*>(bytes);
    if (count <= 0 || std::memchr(chars, 0, static_cast<size_t>(count)) == nullptr) {
        view->ShowText(std::string_view(chars, count > 0 ? static_cast<size_t>(count) : 0));
        return 1;
    }
    // The receive loop's runs fit here; longer ones are rare and take memory of their own.
    char local[256];
    std::string large;
    char* text = local;
    if (count > static_cast<int>(sizeof local)) {
        large.resize(static_cast<size_t>(count));
        text = large.data();
    }
    size_t length = 0;
    for (int i = 0; i < count; ++i) {
        if (bytes[i] != 0) {
            text[length++] = static_cast<char>(bytes[i]);
        }
    }
    view->ShowText(std::string_view(text, length));
    return 1;
}

}  // namespace drel
