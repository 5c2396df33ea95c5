#pragma once

// The program's error codes for the serial service and the one place errno becomes one.
//
// Every failing call of the service returns false and leaves its reason in the calling
// thread's last-error word (GetLastError), as each of the three threads that share a port
// must see its own reason. System failures keep their errno value (EIO is 5), so a marker
// such as "<CE-5>" names the Linux error the user can look up; the states of an overlapped
// operation use codes far above any errno.

#include <cstdint>

namespace drel::platform {

inline constexpr uint32_t ERROR_SUCCESS = 0;
inline constexpr uint32_t ERROR_INVALID_PARAMETER = 87;
inline constexpr uint32_t ERROR_OPERATION_ABORTED = 995;
inline constexpr uint32_t ERROR_IO_INCOMPLETE = 996;
inline constexpr uint32_t ERROR_IO_PENDING = 997;
// A network port's host name that does not resolve to an address.
inline constexpr uint32_t ERROR_HOST_NOT_FOUND = 11001;

// The last error set on this thread by a call of the serial service.
uint32_t GetLastError();
void SetLastError(uint32_t code);

// Sets this thread's last error from errno-style value `err` and returns false, so that a
// failing system call can be reported as `return FailWithErrno(errno);`.
bool FailWithErrno(int err);

// The errno value that last-error `code` carries: the code itself for system failures,
// EINVAL for ERROR_INVALID_PARAMETER, 0 for ERROR_SUCCESS and the states of an overlapped
// operation. Any thread.
int ErrnoOf(uint32_t code);

}  // namespace drel::platform
