// The translations between the port's records and the comm API's.
#include <gtest/gtest.h>

#include <string>

#include "serial/comm.h"
#include "serial/win32_api.h"

namespace zindra::serial {
namespace {

TEST(Win32Dcb, EverySettingReachesItsFieldAndTheRestStaysZero) {
    Comm comm;
    comm.setBaudrate(Baudrate::br9600);
    comm.setParity(Parity::paMark);
    comm.setDatabits(Databits::db7);
    comm.setStopbits(Stopbits::sb15);
    comm.setOptions({CommOption::coErrorChar, CommOption::coNullStrip, CommOption::coParityCheck});
    FlowControl& f = comm.flowControl();
    f.setOutCtsFlow(true);
    f.setOutDsrFlow(true);
    f.setControlDtr(ControlDtr::dtrHandshake);
    f.setControlRts(ControlRts::rtsToggle);
    f.setXonXoffOut(true);
    f.setXonXoffIn(true);
    f.setDsrSensitivity(true);
    f.setTxContinueOnXoff(true);
    EventChars& c = comm.eventChars();
    c.setXonChar(0x11);
    c.setXoffChar(0x13);
    c.setErrorChar('?');
    c.setEventChar('\n');
    c.setEofChar(0x1A);
    comm.buffers().setXonLimit(0x12345);  // only the low 16 bits reach the driver
    comm.buffers().setXoffLimit(512);

    const DCB d = win32::toWin32Dcb(comm.buildDcb());
    EXPECT_EQ(d.DCBlength, 0u);
    EXPECT_EQ(d.BaudRate, 9600u);
    EXPECT_EQ(d.fBinary, 1u);
    EXPECT_EQ(d.fParity, 1u);
    EXPECT_EQ(d.fOutxCtsFlow, 1u);
    EXPECT_EQ(d.fOutxDsrFlow, 1u);
    EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
    EXPECT_EQ(d.fDsrSensitivity, 1u);
    EXPECT_EQ(d.fTXContinueOnXoff, 1u);
    EXPECT_EQ(d.fOutX, 1u);
    EXPECT_EQ(d.fInX, 1u);
    EXPECT_EQ(d.fErrorChar, 1u);
    EXPECT_EQ(d.fNull, 1u);
    EXPECT_EQ(d.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
    EXPECT_EQ(d.fAbortOnError, 0u);
    EXPECT_EQ(d.fDummy2, 0u);
    EXPECT_EQ(d.wReserved, 0u);
    EXPECT_EQ(d.XonLim, 0x2345u);
    EXPECT_EQ(d.XoffLim, 512u);
    EXPECT_EQ(d.ByteSize, 7u);
    EXPECT_EQ(d.Parity, MARKPARITY);
    EXPECT_EQ(d.StopBits, ONE5STOPBITS);
    EXPECT_EQ(d.XonChar, '\x11');
    EXPECT_EQ(d.XoffChar, '\x13');
    EXPECT_EQ(d.ErrorChar, '?');
    EXPECT_EQ(d.EofChar, '\x1A');
    EXPECT_EQ(d.EvtChar, '\n');
    EXPECT_EQ(d.wReserved1, 0u);

    // The window's settings: 9600 8N1, no flow control, DTR and RTS off.
    Comm plain;
    plain.setBaudrate(Baudrate::br9600);
    const DCB p = win32::toWin32Dcb(plain.buildDcb());
    EXPECT_EQ(p.BaudRate, 9600u);
    EXPECT_EQ(p.ByteSize, 8u);
    EXPECT_EQ(p.Parity, NOPARITY);
    EXPECT_EQ(p.StopBits, ONESTOPBIT);
    EXPECT_EQ(p.fDtrControl, static_cast<DWORD>(DTR_CONTROL_DISABLE));
    EXPECT_EQ(p.fRtsControl, static_cast<DWORD>(RTS_CONTROL_DISABLE));
    EXPECT_EQ(p.fOutX + p.fInX + p.fOutxCtsFlow + p.fParity, 0u);
    EXPECT_EQ(p.XonChar, '\x11');
    EXPECT_EQ(p.XoffChar, '\x13');
    EXPECT_EQ(p.XonLim, 1024u);
}

TEST(Win32Dcb, UserBaudrateIsPassedAsItStands) {
    Comm comm;
    comm.setUserBaudrate(31250);
    EXPECT_EQ(win32::toWin32Dcb(comm.buildDcb()).BaudRate, 31250u);
}

// What FormatMessageA gives without any trimming.
std::string rawMessage(DWORD code) {
    char buf[256];
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buf, sizeof buf, nullptr);
    return std::string(buf, n);
}

TEST(Win32ErrorText, SystemMessagesLoseLineEndsAndFullStops) {
    for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_PARAMETER,
                             ERROR_SHARING_VIOLATION}) {
        SCOPED_TRACE(code);
        const std::string raw = rawMessage(code);
        const std::string text = win32::errorText(code);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(raw.compare(0, text.size(), text), 0);
        EXPECT_NE(text.back(), '.');
        EXPECT_GT(static_cast<unsigned char>(text.back()), ' ');
        EXPECT_EQ(raw.find_first_not_of(" .\r\n", text.size()), std::string::npos);
    }
    // A code the system has no message for leaves the text empty, so the
    // port's messages still carry the code.
    EXPECT_EQ(win32::errorText(0x0FFFFFF0), "");
}

TEST(Win32ErrorText, MessagesWithInsertsKeepTheirPlaceholders) {
    // "... message number 0x%1 in the message file for %2": without inserts
    // being ignored, FormatMessageA would look for two arguments.
    const std::string text = win32::errorText(ERROR_MR_MID_NOT_FOUND);
    if (rawMessage(ERROR_MR_MID_NOT_FOUND).find("%1") == std::string::npos) {
        GTEST_SKIP() << "this system's message has no inserts";
    }
    EXPECT_NE(text.find("%1"), std::string::npos);
}

TEST(Win32DevicePath, TheNtFamilyOpensDevicesThroughTheDeviceNamespace) {
    EXPECT_EQ(win32::devicePathFor("COM3", true), "\\\\.\\COM3");
    EXPECT_EQ(win32::devicePathFor("COM12", true), "\\\\.\\COM12");
    EXPECT_EQ(win32::devicePathFor("COM3", false), "COM3");
    // A name that already is a device path is not prefixed twice.
    EXPECT_EQ(win32::devicePathFor("\\\\.\\COM4", true), "\\\\.\\COM4");
    EXPECT_TRUE(win32::isNtPlatform());

    Comm comm;
    comm.setDeviceName("COM%d");
    comm.setPortNum(7);
    EXPECT_EQ(comm.deviceTitle(), "COM7");
    EXPECT_EQ(comm.devicePath(), "\\\\.\\COM7");
}

TEST(Win32Handles, AnEventHandleSurvivesTheIntItIsKeptIn) {
    const HANDLE h = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(win32::intToHandle(win32::handleToInt(h)), h);
    CloseHandle(h);
}

}  // namespace
}  // namespace zindra::serial
