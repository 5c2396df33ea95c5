#include "cli/BoardOutput.h"

namespace drel::cli {

void BoardOutput::ShowText(std::string_view text) {
    if (stream_ != nullptr && (std::fwrite(text.data(), 1, text.size(), stream_) != text.size() ||
                               std::fflush(stream_) != 0)) {
        stream_ = nullptr;
    }
    tracker_.Received(text);
}

}  // namespace drel::cli
