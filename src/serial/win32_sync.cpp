// Win32 wait events: unnamed manual-reset events, waited for with
// WaitForSingleObject and WaitForMultipleObjects; the tick counter is
// GetTickCount.
#include <cstddef>

#include "serial/comm_error.h"
#include "serial/sync.h"
#include "serial/win32_api.h"

namespace zindra::serial {

using win32::handleToInt;
using win32::intToHandle;

WaitEvent::WaitEvent() {
    const HANDLE h = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (h == nullptr) {
        const DWORD err = GetLastError();
        throw CommError(
            formatCommMessage("Error creating event (%d), %s", static_cast<int>(err), win32::errorText(err)));
    }
    handle_ = handleToInt(h);
}

WaitEvent::~WaitEvent() {
    if (handle_ != -1) CloseHandle(intToHandle(handle_));
}

void WaitEvent::set() { SetEvent(intToHandle(handle_)); }

void WaitEvent::reset() { ResetEvent(intToHandle(handle_)); }

bool WaitEvent::isSet() const { return WaitForSingleObject(intToHandle(handle_), 0) == WAIT_OBJECT_0; }

WaitResult WaitEvent::waitFor(std::uint32_t timeoutMs) {
    switch (WaitForSingleObject(intToHandle(handle_), timeoutMs)) {
        case WAIT_OBJECT_0: return WaitResult::Signalled;
        case WAIT_TIMEOUT: return WaitResult::TimedOut;
        case WAIT_ABANDONED: return WaitResult::Abandoned;
        case WAIT_FAILED: lastError_ = static_cast<int>(GetLastError()); return WaitResult::Failed;
        default: return WaitResult::Failed;
    }
}

int waitAny(std::span<WaitEvent* const> events, std::uint32_t timeoutMs, int* error) {
    if (events.empty() || events.size() > MAXIMUM_WAIT_OBJECTS) {
        if (error != nullptr) *error = ERROR_INVALID_PARAMETER;
        return -2;
    }
    HANDLE handles[MAXIMUM_WAIT_OBJECTS];
    for (std::size_t i = 0; i < events.size(); ++i) handles[i] = intToHandle(events[i]->nativeHandle());
    // With several events set, the lowest index is reported: the first in
    // the list counts.
    const DWORD r = WaitForMultipleObjects(static_cast<DWORD>(events.size()), handles, FALSE, timeoutMs);
    if (r < WAIT_OBJECT_0 + events.size()) return static_cast<int>(r - WAIT_OBJECT_0);
    if (r == WAIT_TIMEOUT) return -1;
    if (error != nullptr) *error = r == WAIT_FAILED ? static_cast<int>(GetLastError()) : 0;
    return -2;
}

std::uint32_t tickCount() { return GetTickCount(); }

}  // namespace zindra::serial
