#include "transfer/FileSource.h"

#include <algorithm>

namespace drel::transfer {

bool SpanSource::ReadAt(uint64_t offset, std::span<uint8_t> into) {
    if (offset > bytes_.size() || into.size() > bytes_.size() - offset) {
        return false;
    }
    std::copy_n(bytes_.begin() + static_cast<std::ptrdiff_t>(offset), into.size(), into.begin());
    return true;
}

}  // namespace drel::transfer
