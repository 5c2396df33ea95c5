#include "cli/TextWatch.h"

namespace drel::cli {

bool TextWatch::Feed(std::string_view piece) {
    tail_.append(piece);
    const bool found = tail_.find(text_) != std::string::npos;
    const size_t keep = text_.size() - 1;
    if (tail_.size() > keep) {
        tail_.erase(0, tail_.size() - keep);
    }
    return found;
}

}  // namespace drel::cli
