#include "CommError.h"

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

}  // namespace drel::platform
