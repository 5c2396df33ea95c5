#include "cli/BoardOutput.h"

#include <string_view>

namespace drel::cli {

void BoardOutput::Received(const uint8_t* bytes, size_t count) {
    if (stream_ != nullptr &&
        (std::fwrite(bytes, 1, count, stream_) != count || std::fflush(stream_) != 0)) {
        stream_ = nullptr;
    }
    tracker_.Received(std::string_view(reinterpret_cast<const char*>(bytes), count));
}

}  // namespace drel::cli
