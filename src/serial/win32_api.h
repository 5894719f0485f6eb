// The Win32 side of the serial port: <windows.h> and the small translations
// between the port's own records and the comm API's.
//
// <windows.h> defines the comm API's names (EV_RXCHAR, NOPARITY, SETRTS, ...)
// as macros.  serial/types.h declares constants of the same names, so this
// header must come after every other serial header in a source file, and
// code below it names the port's EscapeFunction values only by number.
#pragma once

#include <cstdint>
#include <string>

#include "serial/types.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace zindra::serial::win32 {

// Kernel handles carry only 32 significant bits, also in 64-bit processes
// (they are shared with 32-bit ones), so a handle survives the round trip
// through the int that WaitEvent keeps.
inline int handleToInt(HANDLE h) { return static_cast<int>(reinterpret_cast<std::intptr_t>(h)); }
inline HANDLE intToHandle(int h) { return reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(h)); }

// The device control block for `dcb`: built from zeros, DCBlength included,
// and filled field by field.
DCB toWin32Dcb(const Dcb& dcb);

// The system's message for `code` in the default language, without trailing
// blanks, line ends and full stops; empty when the system has none.
std::string errorText(DWORD code);

// Whether this Windows belongs to the NT family (every Windows since XP).
bool isNtPlatform();

// The path CreateFileA opens for a device title: on the NT family "\\.\"
// goes in front ("COM3" becomes "\\.\COM3", which also reaches COM10 and
// up); a title that already starts with "\\" is a complete device path.
std::string devicePathFor(const std::string& title, bool nt);

// Whether an error of a call on an open device means it has gone for good
// (a USB adapter pulled out).
bool isGoneError(DWORD code);

// The thread priority for a port priority, from idle to time-critical.
int threadPriority(ThreadPriority priority);

}  // namespace zindra::serial::win32
