// The port on pseudo-terminals: open and close, settings reaching the
// terminal, reading and writing, and the error texts.
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "serial/port_fixture.h"

namespace zindra::serial::test {
namespace {

std::string openError(Comm& comm) {
    try {
        comm.open();
    } catch (const CommError& e) {
        return e.what();
    }
    return "(opened)";
}

std::string errorOf(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const CommError& e) {
        return e.what();
    }
    return "(no error)";
}

TEST(CommDefaults, PropertiesAfterConstruction) {
    Comm c;
    EXPECT_FALSE(c.active());
    EXPECT_FALSE(c.autoOpen());
    EXPECT_EQ(c.baudrate(), Baudrate::br1200);
    EXPECT_EQ(c.parity(), Parity::paNone);
    EXPECT_EQ(c.databits(), Databits::db8);
    EXPECT_EQ(c.stopbits(), Stopbits::sb1);
    EXPECT_EQ(c.portNum(), 0);
    EXPECT_EQ(c.deviceName(), "\\\\.\\COM%d");
    EXPECT_EQ(c.monitorEvents(), (CommEvents{CommEvent::ceError, CommEvent::ceRxChar, CommEvent::ceTxEmpty}));
    EXPECT_EQ(c.eventPriority(), ThreadPriority::tpNormal);
    EXPECT_EQ(c.writePriority(), ThreadPriority::tpHighest);
    EXPECT_FALSE(c.directWrite());
    EXPECT_TRUE(c.updateDCB());
    EXPECT_TRUE(c.listenersEnabled());
    EXPECT_EQ(c.userBaudrate(), 0);
    EXPECT_TRUE(c.options().empty());
    EXPECT_EQ(c.display(), nullptr);
    EXPECT_EQ(c.flowControl().controlRts(), ControlRts::rtsDisabled);
    EXPECT_EQ(c.eventChars().xoffChar(), 19);
    EXPECT_EQ(c.buffers().writeSize(), 2048);
}

TEST(CommDevice, NamesMapToPaths) {
    Comm c;
    c.setPortNum(3);
    EXPECT_EQ(c.deviceTitle(), "\\\\.\\COM3");
    EXPECT_EQ(c.devicePath(), "/dev/ttyS2");
    c.setDeviceName("COM7");
    EXPECT_EQ(c.devicePath(), "/dev/ttyS6");
    c.setDeviceName("Com2");
    EXPECT_EQ(c.devicePath(), "/dev/ttyS1");
    c.setDeviceName("/dev/pts/%d");
    EXPECT_EQ(c.devicePath(), "/dev/pts/3");
    c.setDeviceName("ttyUSB0");
    EXPECT_EQ(c.devicePath(), "/dev/ttyUSB0");
    c.setDeviceName("COM0");
    EXPECT_EQ(c.devicePath(), "/dev/COM0");
    c.setDeviceName("");
    EXPECT_EQ(c.devicePath(), "");
}

TEST(CommDevice, OpenFailuresLeaveThePortClosed) {
    Comm c;
    c.setDeviceName("COM77");
    if (::access("/dev/ttyS76", F_OK) == 0) GTEST_SKIP() << "/dev/ttyS76 exists here";
    EXPECT_EQ(openError(c), "Specified device not found (COM77).");
    EXPECT_FALSE(c.active());

    c.setDeviceName("");
    EXPECT_EQ(openError(c), "Specified device not found ().");

    // A device that is no terminal is refused before anything is written to it.
    c.setDeviceName("/dev/null");
    EXPECT_EQ(openError(c),
              "Can't open specified device /dev/null (Error 25, Inappropriate ioctl for device)");
    EXPECT_FALSE(c.active());
    EXPECT_EQ(c.runningThreads(), 0);
}

using CommOpen = PortTest;

TEST_F(CommOpen, OpensRawWithTheLineSettingsAndClosesOnce) {
    int opened = 0;
    int closed = 0;
    comm.onOpen = [&](Comm& sender) {
        EXPECT_EQ(&sender, &comm);
        ++opened;
    };
    comm.onClose = [&](Comm&) { ++closed; };
    comm.open();
    EXPECT_TRUE(comm.active());
    EXPECT_EQ(opened, 1);
    const termios t = pty.attributes();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B1200));
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
    EXPECT_NE(t.c_cflag & CLOCAL, 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
    EXPECT_EQ(t.c_oflag & OPOST, 0u);
    EXPECT_EQ(t.c_iflag & (ICRNL | IXON | IXOFF), 0u);

    EXPECT_EQ(errorOf([&] { comm.open(); }), "Can't perform this operation while port is open");
    EXPECT_TRUE(comm.active());

    comm.close();
    EXPECT_FALSE(comm.active());
    comm.close();
    EXPECT_EQ(closed, 1);
    // The exclusive use ends with close: the port opens again at once.
    comm.open();
    EXPECT_TRUE(comm.active());
}

TEST_F(CommOpen, PropertyWritesWhileOpenReachTheTerminal) {
    comm.open();
    // A pseudo-terminal keeps 8 data bits and no parity generation whatever
    // it is told (those two are checked on the settings record below); the
    // parity kind, stop bits, speed and flow control stick.
    comm.setBaudrate(Baudrate::br9600);
    comm.setParity(Parity::paOdd);
    comm.setStopbits(Stopbits::sb2);
    termios t = pty.attributes();
    EXPECT_EQ(cfgetospeed(&t), static_cast<speed_t>(B9600));
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(PARODD));
    EXPECT_NE(t.c_cflag & CSTOPB, 0u);
    comm.setParity(Parity::paMark);
    t = pty.attributes();
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(PARODD | CMSPAR));
    comm.setParity(Parity::paSpace);
    t = pty.attributes();
    EXPECT_EQ(t.c_cflag & (PARODD | CMSPAR), static_cast<tcflag_t>(CMSPAR));

    // Rates without a B-constant go through the arbitrary-rate interface.
    comm.setBaudrate(Baudrate::br56000);
    EXPECT_EQ(pty.speed(), 56000u);
    comm.setUserBaudrate(31250);
    EXPECT_EQ(comm.baudrate(), Baudrate::brUser);
    EXPECT_EQ(pty.speed(), 31250u);
    comm.setBaudrate(Baudrate::br9600);
    EXPECT_EQ(comm.userBaudrate(), 0);
    EXPECT_EQ(pty.speed(), 9600u);

    comm.flowControl().setXonXoffIn(true);
    comm.eventChars().setXonChar(0x11);
    comm.eventChars().setXoffChar(0x05);
    t = pty.attributes();
    EXPECT_NE(t.c_iflag & IXOFF, 0u);
    EXPECT_EQ(t.c_cc[VSTOP], 0x05);
    FlowControl rtsCts;
    rtsCts.setOutCtsFlow(true);
    comm.setFlowControl(rtsCts);
    t = pty.attributes();
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & IXOFF, 0u);
}

TEST_F(CommOpen, SettingsATerminalCannotFollowFailAsAWholeAndStayStored) {
    comm.open();
    comm.setBaudrate(Baudrate::br9600);
    const termios before = pty.attributes();
    const std::string invalid = "Error writing dcb (22), Invalid argument";
    EXPECT_EQ(errorOf([&] { comm.setDatabits(Databits::db4); }), invalid);
    EXPECT_EQ(comm.databits(), Databits::db4);
    EXPECT_EQ(errorOf([&] { comm.setDatabits(Databits::db8); }), "(no error)");
    EXPECT_EQ(errorOf([&] { comm.setStopbits(Stopbits::sb15); }), invalid);
    EXPECT_EQ(errorOf([&] { comm.setDatabits(Databits::db5); }), "(no error)");  // 5 bits, 1.5 stop
    EXPECT_EQ(errorOf([&] { comm.setStopbits(Stopbits::sb2); }), invalid);
    EXPECT_EQ(errorOf([&] { comm.setStopbits(Stopbits::sb1); }), "(no error)");
    EXPECT_EQ(errorOf([&] { comm.flowControl().setControlDtr(ControlDtr::dtrHandshake); }), invalid);
    comm.flowControl().setControlDtr(ControlDtr::dtrDisabled);
    EXPECT_EQ(errorOf([&] { comm.setUserBaudrate(-5); }), invalid);
    comm.setBaudrate(Baudrate::br9600);
    comm.setDatabits(Databits::db8);
    const termios after = pty.attributes();
    EXPECT_EQ(after.c_cflag, before.c_cflag);

    // The same settings make open fail, and leave nothing open.
    comm.close();
    ASSERT_TRUE(runUntil([&] { return comm.runningThreads() == 0; }));
    comm.setDatabits(Databits::db4);
    EXPECT_EQ(openError(comm), invalid);
    EXPECT_FALSE(comm.active());
    EXPECT_EQ(comm.runningThreads(), 0);
}

TEST_F(CommOpen, SettingsThatNeedAClosedPortAreRefusedWhileOpen) {
    comm.open();
    const std::string refused = "Can't perform this operation while port is open";
    const std::string name = comm.deviceName();
    EXPECT_EQ(errorOf([&] { comm.setDeviceName("COM1"); }), refused);
    EXPECT_EQ(comm.deviceName(), name);
    EXPECT_EQ(errorOf([&] { comm.setPortNum(2); }), refused);
    EXPECT_EQ(errorOf([&] { comm.setMonitorEvents({}); }), refused);
    EXPECT_EQ(errorOf([&] { comm.setDirectWrite(true); }), refused);
    EXPECT_EQ(errorOf([&] { comm.setUpdateDCB(false); }), refused);
    EXPECT_EQ(errorOf([&] { comm.setBuffers(Buffers()); }), refused);
    EXPECT_EQ(errorOf([&] {
                  Buffers b;
                  b.setReadSize(10);
                  comm.buffers().assign(b);
              }),
              refused);
    // A size written on the object itself is kept for the next open.
    EXPECT_EQ(errorOf([&] { comm.buffers().setWriteSize(512); }), refused);
    EXPECT_EQ(comm.buffers().writeSize(), 512);
    EXPECT_EQ(comm.buffers().updateCount(), 0);
    // Time-outs carry no notice and may change at any time.
    comm.buffers().setReadTimeout(5);
    EXPECT_EQ(comm.buffers().readTimeout(), 5);
    EXPECT_TRUE(comm.active());
}

TEST_F(CommOpen, ReadsWhatArrivesAndWritesToTheFarEnd) {
    comm.setMonitorEvents({});  // nothing read behind the test's back
    comm.open();
    char buf[64] = {};
    EXPECT_EQ(comm.readBuf(buf, sizeof buf), 0);
    EXPECT_EQ(comm.inQueueCount(), 0);

    pty.send(std::string("\x02UGM\x03\r\n", 7));
    ASSERT_TRUE(runUntil([&] { return comm.inQueueCount() == 7; }));
    EXPECT_EQ(comm.readBuf(buf, 4), 4);
    EXPECT_EQ(std::string(buf, 4), "\x02UGM");
    EXPECT_EQ(comm.inQueueCount(), 3);
    EXPECT_EQ(comm.readBuf(buf, sizeof buf), 3);
    EXPECT_EQ(std::string(buf, 3), "\x03\r\n");

    EXPECT_EQ(comm.writeBuf("\nTRACEON", 8), 8);
    EXPECT_EQ(pty.receive(8, std::chrono::seconds(2)), "\nTRACEON");

    const CommStatus status = comm.getStatus();
    EXPECT_EQ(status.errors, 0u);  // a pseudo-terminal reports no line errors
    EXPECT_EQ(status.stat.cbInQue, 0u);
    EXPECT_FALSE(comm.checkErrors());
}

TEST_F(CommOpen, ASecondPortOnTheSameDeviceCannotOpen) {
    comm.open();
    Comm second;
    second.setDeviceName(pty.path());
    EXPECT_EQ(openError(second),
              "Can't open specified device " + pty.path() + " (Error 16, Device or resource busy)");
    EXPECT_FALSE(second.active());
    EXPECT_EQ(second.runningThreads(), 0);
}

TEST_F(CommOpen, AClosedPortDoesNothingButRefusesHandshakeLineChanges) {
    char buf[8];
    EXPECT_EQ(comm.readBuf(buf, 8), 0);
    EXPECT_EQ(comm.writeBuf("x", 1), 0);
    EXPECT_EQ(comm.inQueueCount(), 0);
    EXPECT_EQ(comm.getStatus().errors, 0u);
    comm.setDTR(true);
    comm.setRTS(true);
    comm.flowControl().setControlDtr(ControlDtr::dtrHandshake);
    EXPECT_EQ(errorOf([&] { comm.setDTR(true); }),
              "DTR line updates not allowed when flowcontrol is set to Handshake.");
    comm.flowControl().setControlRts(ControlRts::rtsToggle);
    EXPECT_EQ(errorOf([&] { comm.setRTS(false); }),
              "RTS line updates not allowed when flowcontrol is set to Handshake or Toggle.");
    int closed = 0;
    comm.onClose = [&](Comm&) { ++closed; };
    comm.close();
    EXPECT_EQ(closed, 0);
}

TEST_F(CommOpen, WithoutUpdateDcbTheTerminalSettingsAreNeverTouched) {
    const termios before = pty.attributes();
    comm.setUpdateDCB(false);
    comm.open();
    comm.setBaudrate(Baudrate::br115200);
    comm.setParity(Parity::paOdd);
    comm.flowControl().setXonXoffOut(true);
    const termios after = pty.attributes();
    EXPECT_EQ(after.c_cflag, before.c_cflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    // The modem lines can still be switched (a pseudo-terminal has none).
    comm.setDTR(true);
    comm.setRTS(false);
}

TEST_F(CommOpen, HandlerExceptionsOfOpenAreReportedOfCloseRaised) {
    comm.onOpen = [](Comm&) { throw CommError("open handler"); };
    comm.onClose = [](Comm&) { throw CommError("close handler"); };
    comm.open();
    EXPECT_TRUE(comm.active());
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0], "open handler");
    EXPECT_EQ(errorOf([&] { comm.close(); }), "close handler");
    EXPECT_FALSE(comm.active());
}

TEST_F(CommOpen, DestructionClosesWithoutOnClose) {
    int closed = 0;
    {
        Comm local;
        local.setDeviceName(pty.path());
        local.onClose = [&](Comm&) { ++closed; };
        local.open();
    }
    EXPECT_EQ(closed, 0);
    comm.open();  // the device is free again
    EXPECT_TRUE(comm.active());
}

TEST_F(CommOpen, AutoOpenOpensWhenLoaded) {
    comm.loaded();
    EXPECT_FALSE(comm.active());
    comm.setAutoOpen(true);
    comm.loaded();
    EXPECT_TRUE(comm.active());
}

TEST_F(CommOpen, ThreadsFollowTheEventMaskAndWriteMode) {
    comm.open();
    EXPECT_EQ(comm.runningThreads(), 2);
    EXPECT_EQ(comm.eventMask(), EV_ERR | EV_RXCHAR);  // the write thread reports TX empty
    comm.close();
    ASSERT_TRUE(runUntil([&] { return comm.runningThreads() == 0; }));

    comm.setMonitorEvents({});
    comm.setDirectWrite(true);
    comm.open();
    EXPECT_EQ(comm.runningThreads(), 0);
    EXPECT_EQ(comm.eventMask(), 0u);
    comm.close();
    comm.setMonitorEvents({CommEvent::ceTxEmpty});
    comm.open();
    EXPECT_EQ(comm.eventMask(), EV_TXEMPTY);
    EXPECT_EQ(comm.runningThreads(), 1);
}

TEST(CommDcb, TheSettingsRecordCarriesEveryProperty) {
    Comm c;
    Dcb d = c.buildDcb();
    EXPECT_EQ(d.baudRate, 1200u);
    EXPECT_TRUE(d.fBinary);
    EXPECT_EQ(d.byteSize, 8);
    EXPECT_EQ(d.parity, NOPARITY);
    EXPECT_EQ(d.stopBits, ONESTOPBIT);
    EXPECT_EQ(d.xonChar, 17);
    EXPECT_EQ(d.xoffChar, 19);
    EXPECT_EQ(d.xonLim, 1024);

    c.setBaudrate(Baudrate::br256000);
    c.setDatabits(Databits::db4);
    c.setParity(Parity::paSpace);
    c.setStopbits(Stopbits::sb15);
    c.setOptions({CommOption::coParityCheck, CommOption::coNullStrip});
    c.flowControl().setControlRts(ControlRts::rtsToggle);
    c.flowControl().setControlDtr(ControlDtr::dtrEnabled);
    c.flowControl().setTxContinueOnXoff(true);
    c.eventChars().setEventChar(0x7E);
    c.buffers().setXoffLimit(0x12345);
    d = c.buildDcb();
    EXPECT_EQ(d.baudRate, 256000u);
    EXPECT_EQ(d.byteSize, 4);
    EXPECT_EQ(d.parity, SPACEPARITY);
    EXPECT_EQ(d.stopBits, ONE5STOPBITS);
    EXPECT_TRUE(d.fParity);
    EXPECT_TRUE(d.fNull);
    EXPECT_FALSE(d.fErrorChar);
    EXPECT_EQ(d.fRtsControl, RTS_CONTROL_TOGGLE);
    EXPECT_EQ(d.fDtrControl, DTR_CONTROL_ENABLE);
    EXPECT_TRUE(d.fTXContinueOnXoff);
    EXPECT_EQ(d.evtChar, 0x7E);
    EXPECT_EQ(d.xoffLim, 0x2345);  // the low 16 bits

    c.setUserBaudrate(250);
    EXPECT_EQ(c.buildDcb().baudRate, 250u);
}

TEST(CommDisplay, DestroyingTheDisplayUnlinksIt) {
    Comm c;
    {
        Display d;
        c.setDisplay(&d);
        EXPECT_EQ(c.display(), &d);
    }
    EXPECT_EQ(c.display(), nullptr);
}

}  // namespace
}  // namespace zindra::serial::test
