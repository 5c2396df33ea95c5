#include "CommError.h"

#include <cerrno>

namespace drel::platform {

namespace {
thread_local uint32_t lastError = ERROR_SUCCESS;
}

uint32_t GetLastError() {
    return lastError;
}

void SetLastError(uint32_t code) {
    lastError = code;
}

bool FailWithErrno(int err) {
    SetLastError(err > 0 ? static_cast<uint32_t>(err) : ERROR_INVALID_PARAMETER);
    return false;
}

int ErrnoOf(uint32_t code) {
    if (code == ERROR_INVALID_PARAMETER) {
        return EINVAL;
    }
    return code < ERROR_OPERATION_ABORTED ? static_cast<int>(code) : 0;
}

}  // namespace drel::platform
