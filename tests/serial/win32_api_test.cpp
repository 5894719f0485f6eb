// The translations between the port's records and the comm API's.
#include <gtest/gtest.h>

#include <string>

#include "serial/comm.h"
#include "serial/win32_api.h"

namespace zindra::serial {
namespace {

TEST(Win32Dcb, EverySettingReachesItsFieldAndTheRestStaysZero) {
    Comm comm;
    comm.setUserBaudrate(31250);
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
    c.setErrorChar('?');
    c.setEventChar('\n');
    c.setEofChar(0x1A);
    comm.buffers().setXonLimit(0x12345);  // only the low 16 bits reach the driver
    comm.buffers().setXoffLimit(512);

    const DCB d = win32::toWin32Dcb(comm.buildDcb());
    EXPECT_EQ(d.DCBlength, 0u);
    EXPECT_EQ(d.BaudRate, 31250u);
    EXPECT_EQ(d.fBinary + d.fParity + d.fOutxCtsFlow + d.fOutxDsrFlow + d.fDsrSensitivity +
                  d.fTXContinueOnXoff + d.fOutX + d.fInX + d.fErrorChar + d.fNull,
              10u);
    EXPECT_EQ(d.fDtrControl, static_cast<DWORD>(DTR_CONTROL_HANDSHAKE));
    EXPECT_EQ(d.fRtsControl, static_cast<DWORD>(RTS_CONTROL_TOGGLE));
    EXPECT_EQ(d.fAbortOnError + d.fDummy2 + d.wReserved + d.wReserved1, 0u);
    EXPECT_EQ(d.XonLim, 0x2345u);
    EXPECT_EQ(d.XoffLim, 512u);
    EXPECT_EQ(d.ByteSize, 7u);
    EXPECT_EQ(d.Parity, MARKPARITY);
    EXPECT_EQ(d.StopBits, ONE5STOPBITS);
    EXPECT_EQ(std::string({d.XonChar, d.XoffChar, d.ErrorChar, d.EofChar, d.EvtChar}), "\x11\x13?\x1A\n");

    // The window's settings: 9600 8N1, no flow control, DTR and RTS off.
    Comm plain;
    plain.setBaudrate(Baudrate::br9600);
    const DCB p = win32::toWin32Dcb(plain.buildDcb());
    EXPECT_EQ(p.BaudRate, 9600u);
    EXPECT_EQ(p.ByteSize, 8u);
    EXPECT_EQ(p.Parity + p.StopBits + p.fDtrControl + p.fRtsControl + p.fOutX + p.fInX + p.fParity, 0u);
    EXPECT_EQ(p.fBinary, 1u);
}

// What FormatMessageA gives without any trimming.
std::string rawMessage(DWORD code) {
    char buf[256];
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), buf, sizeof buf, nullptr);
    return std::string(buf, n);
}

TEST(Win32ErrorText, SystemMessagesLoseLineEndsAndFullStopsAndKeepTheirInserts) {
    for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
        SCOPED_TRACE(code);
        const std::string raw = rawMessage(code);
        const std::string text = win32::errorText(code);
        ASSERT_FALSE(text.empty());
        EXPECT_EQ(raw.compare(0, text.size(), text), 0);
        EXPECT_EQ(raw.find_first_not_of(" .\r\n", text.size()), std::string::npos);
        EXPECT_NE(text.back(), '.');
    }
    // "... message number 0x%1 in the message file for %2": with no
    // arguments to fill them, the placeholders stay.
    if (rawMessage(ERROR_MR_MID_NOT_FOUND).find("%1") != std::string::npos) {
        EXPECT_NE(win32::errorText(ERROR_MR_MID_NOT_FOUND).find("%1"), std::string::npos);
    }
    // A code without a message leaves the text empty; the code still shows.
    EXPECT_EQ(win32::errorText(0x0FFFFFF0), "");
}

TEST(Win32DevicePath, TheNtFamilyOpensDevicesThroughTheDeviceNamespace) {
    EXPECT_EQ(win32::devicePathFor("COM12", true), "\\\\.\\COM12");
    EXPECT_EQ(win32::devicePathFor("COM3", false), "COM3");
    EXPECT_EQ(win32::devicePathFor("\\\\.\\COM4", true), "\\\\.\\COM4");  // not prefixed twice
    Comm comm;
    comm.setDeviceName("COM%d");
    comm.setPortNum(7);
    EXPECT_EQ(comm.deviceTitle(), "COM7");
    EXPECT_EQ(comm.devicePath(), "\\\\.\\COM7");
}

}  // namespace
}  // namespace zindra::serial
