// serial::Comm - one serial port: its settings, open and close, reading and
// writing, and the notifications of its two worker threads.
//
// Threads.  Everything public is meant for one thread, the UI thread.  While
// the port is open a receive event thread (when the event mask is not empty)
// and a write thread (unless DirectWrite) run; they deliver every event
// handler call through the injected Dispatcher, which runs it on the UI
// thread and returns when it has run, so handlers never run concurrently
// with each other or with other UI work.  Without a dispatcher the handlers
// run on the worker threads themselves, one at a time.
//
// Close may be called from anywhere on the UI thread, also from inside a
// handler while the event thread waits for that handler.  It never waits for
// the threads; it closes the device at once, drops unsent output, and no
// handler of that open period runs after it has returned.
//
// Errors.  Every failure raises CommError with the messages below (%d is the
// system error code, %s its text):
//   "Can't perform this operation while port is open"
//   "Specified device not found (COM7)."
//   "Can't open specified device COM7 (Error 13, Permission denied)"
//   "Error writing dcb (%d), %s"            "Error initializing buffers (%d), %s"
//   "Error setting timeouts (%d), %s"       " Error setting EventMask (%d), %s"
//   "Error calling comm function (%d), %s"  "Error retrieving statistics (%d), %s"
//   "Read error (%d), %s"                   "Write error (%d), %s"
//   "Output buffer is full. Please check comm status."
//   "DTR line updates not allowed when flowcontrol is set to Handshake."
//   "RTS line updates not allowed when flowcontrol is set to Handshake or Toggle."
// Exceptions leaving OnOpen, OnError and every thread-delivered handler go to
// the injected ExceptionHandler instead (default: the message on stderr);
// those leaving OnClose reach the caller of close().
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "serial/comm_error.h"
#include "serial/platform.h"
#include "serial/settings.h"
#include "serial/sync.h"
#include "serial/types.h"

namespace zindra::serial {

class Comm;
class EventThread;
class WriteThread;
namespace detail {
struct Session;
}

// A terminal-display control a port can feed on every event batch.  Zindra
// links none; the hook exists for such a control.  Destroying a display
// unlinks it from every port that shows on it.
class Display {
public:
    Display() = default;
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;
    virtual ~Display();
    // Called on the UI thread at the start of every event batch.
    virtual void update(Comm& comm);

private:
    friend class Comm;
    std::vector<Comm*> ports_;
};

// Something that takes a port's events and received data instead of OnRxChar.
class ListenerTarget {
public:
    virtual ~ListenerTarget() = default;
    virtual void commEvent(std::uint32_t mask) = 0;
    virtual void commData(const std::uint8_t* data, int count) = 0;
};

class Comm {
public:
    using NotifyEvent = std::function<void(Comm& sender)>;
    using RxCharEvent = std::function<void(Comm& sender, int count)>;
    using RxBufEvent = std::function<void(Comm& sender, const std::uint8_t* data, int count)>;
    using ErrorEvent = std::function<void(Comm& sender, int errors)>;

    Comm();
    // Closes the port without calling OnClose.
    virtual ~Comm();
    Comm(const Comm&) = delete;
    Comm& operator=(const Comm&) = delete;

    // --- what the application injects (used from the next open on) ---
    void setDispatcher(Dispatcher dispatcher) { dispatcher_ = std::move(dispatcher); }
    void setExceptionHandler(ExceptionHandler handler) { exceptionHandler_ = std::move(handler); }
    // CheckClosed; for tests and other systems.
    void setPlatform(std::shared_ptr<platform::Platform> platform);
    // Hands an exception to the exception handler.
    void reportException(std::exception_ptr e) const;

    // --- operations ---
    // Opens the device, writes the settings and starts the threads.  Raises
    // CommError on any failure; the port is then closed with nothing running.
    void open();
    // Stops the threads, closes the device, calls OnClose; nothing when closed.
    void close();
    [[nodiscard]] bool active() const { return device_ != nullptr; }
    // The end of loading the owner's settings: opens the port when AutoOpen.
    void loaded();

    // Queues `count` bytes for the write thread and returns count (waiting up
    // to Buffers.WriteTimeout for room), or with DirectWrite writes them and
    // returns how many the driver took within Buffers.ReadTimeout.  0 when
    // the port is closed or its device has gone away (see onHangup).
    int writeBuf(const void* buffer, int count);
    // Waits up to `timeoutMs` until the write thread has handed everything
    // queued to the device; true when nothing is left (also when closed or
    // with DirectWrite).  For a last command before close(), which drops
    // whatever is still queued.
    bool flushOutput(std::uint32_t timeoutMs);
    // Reads what is waiting, at most `count` bytes, without waiting; 0 when
    // the port is closed or nothing is queued.
    int readBuf(void* buffer, int count);
    // Fetches and clears the line error flags and reads the queue sizes; all 0
    // when the port is closed.
    CommStatus getStatus();
    // Bytes waiting in the input queue (0 when closed); leaves the error flags.
    int inQueueCount();
    // getStatus; when error flags were set, OnError gets them.  True then.
    bool checkErrors();
    void setDTR(bool value);
    void setRTS(bool value);

    // The device path opened and the name shown in open errors.
    [[nodiscard]] std::string devicePath() const;
    [[nodiscard]] std::string deviceTitle() const;
    // Worker threads of this port still running, including stopped ones that
    // have not ended yet.
    [[nodiscard]] int runningThreads() const { return running_->load(); }

    // --- properties ---
    [[nodiscard]] bool autoOpen() const { return autoOpen_; }
    void setAutoOpen(bool value) { autoOpen_ = value; }
    // 0..2147483647; fills the %d of DeviceName.  CheckClosed.
    [[nodiscard]] std::int32_t portNum() const { return portNum_; }
    void setPortNum(std::int32_t value);
    // A path, "COMn", or a pattern with %d.  CheckClosed.
    [[nodiscard]] const std::string& deviceName() const { return deviceName_; }
    void setDeviceName(const std::string& value);
    [[nodiscard]] CommEvents monitorEvents() const { return monitorEvents_; }
    void setMonitorEvents(CommEvents value);
    // The owned objects; changing them in place notifies the port.
    [[nodiscard]] Buffers& buffers() { return buffers_; }
    void setBuffers(const Buffers& value);
    [[nodiscard]] FlowControl& flowControl() { return flowControl_; }
    void setFlowControl(const FlowControl& value) { flowControl_.assign(value); }
    [[nodiscard]] EventChars& eventChars() { return eventChars_; }
    void setEventChars(const EventChars& value) { eventChars_.assign(value); }
    [[nodiscard]] ThreadPriority eventPriority() const { return eventPriority_; }
    void setEventPriority(ThreadPriority value);
    [[nodiscard]] ThreadPriority writePriority() const { return writePriority_; }
    void setWritePriority(ThreadPriority value);
    [[nodiscard]] bool directWrite() const { return directWrite_; }
    void setDirectWrite(bool value);
    [[nodiscard]] bool listenersEnabled() const { return listenersEnabled_; }
    [[nodiscard]] Baudrate baudrate() const { return baudrate_; }
    void setBaudrate(Baudrate value);
    [[nodiscard]] Parity parity() const { return parity_; }
    void setParity(Parity value);
    [[nodiscard]] Databits databits() const { return databits_; }
    void setDatabits(Databits value);
    [[nodiscard]] Stopbits stopbits() const { return stopbits_; }
    void setStopbits(Stopbits value);
    [[nodiscard]] CommOptions options() const { return options_; }
    void setOptions(CommOptions value);
    [[nodiscard]] bool updateDCB() const { return updateDCB_; }
    void setUpdateDCB(bool value);
    // The rate of Baudrate::brUser.  Writing a new value selects brUser.
    [[nodiscard]] std::int32_t userBaudrate() const { return userBaudrate_; }
    void setUserBaudrate(std::int32_t value);
    [[nodiscard]] Display* display() const { return display_; }
    void setDisplay(Display* value);

    // The line settings as they go to the driver.
    [[nodiscard]] Dcb buildDcb() const;
    // The event mask computed at open (EV_TXEMPTY left out with a write thread).
    [[nodiscard]] std::uint32_t eventMask() const { return eventMask_; }

    // --- events (all run on the UI thread) ---
    NotifyEvent onOpen;
    NotifyEvent onClose;
    NotifyEvent onCts;
    NotifyEvent onDsr;
    NotifyEvent onRlsd;
    NotifyEvent onRing;
    NotifyEvent onBreak;
    ErrorEvent onError;
    // Bytes have arrived; `count` is the size of the whole input queue.  Bytes
    // the handler leaves are counted again with the next arrival.
    RxCharEvent onRxChar;
    NotifyEvent onRxFlag;
    RxBufEvent onRxBuf;  // only with listeners attached
    // Assigned before open: the write thread calls it only when it was set
    // (or a listener attached) at open.
    NotifyEvent onTxEmpty;
    NotifyEvent onPErr;
    NotifyEvent onRx80Full;
    NotifyEvent onEvent1;
    NotifyEvent onEvent2;
    // The device went away while open (adapter unplugged, the far end of a
    // pseudo-terminal closed).  Sent once; the threads stop waiting, later
    // writes do nothing, and the port stays open until closed.  Unassigned, a CommError "Lost connection
    // to COM7 (Error 5, Input/output error)" goes to the exception handler.
    NotifyEvent onHangup;

protected:
    virtual void openDevice();
    virtual void createThreads();
    virtual void handleRxChar();
    virtual void handleEvents(std::uint32_t mask);
    virtual void notifyListenerEvents(std::uint32_t mask);
    virtual void notifyListenerData(const std::uint8_t* data, int count);

    // Nothing in Zindra attaches a listener; the hook is kept for extensions.
    void attachListener(ListenerTarget& target);
    [[nodiscard]] std::size_t listenerCount() const { return listeners_.size(); }

    void checkClosed() const;
    [[noreturn]] void raiseCommError(const std::string& pattern, int code) const;
    void checkResult(int code, const std::string& pattern) const {
        if (code != 0) raiseCommError(pattern, code);
    }

private:
    friend class EventThread;
    friend class WriteThread;
    friend class Display;

    struct Listener {
        bool enabled = true;
        Comm* comm = nullptr;
        ListenerTarget* target = nullptr;
    };

    void writeDCB();
    void applyBufferSizes();
    void applyTimeouts();
    void applyEventMask();
    void escapeComm(EscapeFunction function);
    void detachSession();
    void stopThreads();
    void closeDevice();
    void doOpen();
    void doClose();
    void detachListeners();
    void bufferChanged();
    int directWriteBuf(const void* buffer, int count);
    // Run on the UI thread for the worker threads.
    void handleEvent(std::uint32_t events);
    void handleGone(int error);
    // An error of a device that has gone away (a hung-up line, an adapter
    // pulled) met by a read or a count before the event thread saw the
    // hang-up: it is that hang-up, reported once as the event thread reports
    // it, not an error of its own.  True when code was such an error.
    bool reportIfGone(int code);
    // Whether this port is still open in the open period `session`.
    static bool current(const detail::Session& session, const Comm* comm);

    std::shared_ptr<platform::Platform> platform_;
    std::shared_ptr<platform::Device> device_;
    std::shared_ptr<detail::Session> session_;
    std::shared_ptr<EventThread> eventThread_;
    std::shared_ptr<WriteThread> writeThread_;
    std::shared_ptr<std::atomic<int>> running_;
    Lock writeLock_;
    Lock readLock_;
    Dispatcher dispatcher_;
    ExceptionHandler exceptionHandler_;
    bool destroying_ = false;
    bool deviceGone_ = false;  // reported by onHangup in this open period

    std::uint32_t eventMask_ = 0;
    bool autoOpen_ = false;
    std::int32_t portNum_ = 0;
    std::string deviceName_ = "\\\\.\\COM%d";
    CommEvents monitorEvents_{CommEvent::ceError, CommEvent::ceRxChar, CommEvent::ceTxEmpty};
    Buffers buffers_;
    ThreadPriority eventPriority_ = ThreadPriority::tpNormal;
    ThreadPriority writePriority_ = ThreadPriority::tpHighest;
    bool directWrite_ = false;
    bool listenersEnabled_ = true;
    std::vector<std::unique_ptr<Listener>> listeners_;
    Baudrate baudrate_ = Baudrate::br1200;
    Parity parity_ = Parity::paNone;
    Databits databits_ = Databits::db8;
    Stopbits stopbits_ = Stopbits::sb1;
    CommOptions options_;
    FlowControl flowControl_;
    EventChars eventChars_;
    bool updateDCB_ = true;
    std::int32_t userBaudrate_ = 0;
    Display* display_ = nullptr;
};

}  // namespace zindra::serial
