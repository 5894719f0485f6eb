#include "serial/win32_api.h"
#include "serial/comm_error.h"

namespace zindra::serial::win32 {

DCB toWin32Dcb(const Dcb& d) {
    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.BaudRate = d.baudRate;
    dcb.fBinary = d.fBinary ? 1u : 0u;
    dcb.fParity = d.fParity ? 1u : 0u;
    dcb.fOutxCtsFlow = d.fOutxCtsFlow ? 1u : 0u;
    dcb.fOutxDsrFlow = d.fOutxDsrFlow ? 1u : 0u;
    dcb.fDtrControl = d.fDtrControl & 3u;
    dcb.fDsrSensitivity = d.fDsrSensitivity ? 1u : 0u;
    dcb.fTXContinueOnXoff = d.fTXContinueOnXoff ? 1u : 0u;
    dcb.fOutX = d.fOutX ? 1u : 0u;
    dcb.fInX = d.fInX ? 1u : 0u;
    dcb.fErrorChar = d.fErrorChar ? 1u : 0u;
    dcb.fNull = d.fNull ? 1u : 0u;
    dcb.fRtsControl = d.fRtsControl & 3u;
    dcb.fAbortOnError = d.fAbortOnError ? 1u : 0u;
    dcb.XonLim = d.xonLim;
    dcb.XoffLim = d.xoffLim;
    dcb.ByteSize = d.byteSize;
    dcb.Parity = d.parity;
    dcb.StopBits = d.stopBits;
    dcb.XonChar = static_cast<char>(d.xonChar);
    dcb.XoffChar = static_cast<char>(d.xoffChar);
    dcb.ErrorChar = static_cast<char>(d.errorChar);
    dcb.EofChar = static_cast<char>(d.eofChar);
    dcb.EvtChar = static_cast<char>(d.evtChar);
    return dcb;
}

std::string errorText(DWORD code) {
    char buffer[256];
    // Inserts are left as they stand: several system messages carry %1
    // placeholders, and with no arguments to fill them FormatMessageA would
    // fail or read arguments that are not there.
    const DWORD n = FormatMessageA(
        FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buffer, sizeof buffer, nullptr);
    if (n == 0) return {};
    return trimErrorText(std::string(buffer, n < sizeof buffer ? n : sizeof buffer - 1));
}

bool isNtPlatform() {
    OSVERSIONINFOA info;
    ZeroMemory(&info, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExA(&info)) return true;  // only the NT family still refuses nothing here
    return info.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

std::string devicePathFor(const std::string& title, bool nt) {
    if (!nt || title.rfind("\\\\", 0) == 0) return title;
    return "\\\\.\\" + title;
}

bool isGoneError(DWORD code) {
    switch (code) {
        case ERROR_ACCESS_DENIED:  // USB adapters pulled out while open answer so
        case ERROR_BAD_COMMAND:    // the driver refuses requests for a removed device
        case ERROR_GEN_FAILURE:    // so does Wine once the far end of its terminal is gone
        case ERROR_DEVICE_NOT_CONNECTED:
        case ERROR_DEVICE_REMOVED:
        case ERROR_FILE_NOT_FOUND:  // an open handle to a vanished device node
            return true;
        default: return false;
    }
}

int threadPriority(ThreadPriority priority) {
    switch (priority) {
        case ThreadPriority::tpIdle: return THREAD_PRIORITY_IDLE;
        case ThreadPriority::tpLowest: return THREAD_PRIORITY_LOWEST;
        case ThreadPriority::tpLower: return THREAD_PRIORITY_BELOW_NORMAL;
        case ThreadPriority::tpNormal: return THREAD_PRIORITY_NORMAL;
        case ThreadPriority::tpHigher: return THREAD_PRIORITY_ABOVE_NORMAL;
        case ThreadPriority::tpHighest: return THREAD_PRIORITY_HIGHEST;
        case ThreadPriority::tpTimeCritical: return THREAD_PRIORITY_TIME_CRITICAL;
    }
    return THREAD_PRIORITY_NORMAL;
}

}  // namespace zindra::serial::win32
