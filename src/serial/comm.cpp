#include "serial/comm.h"

#include <algorithm>
#include <utility>

#include "serial/event_thread.h"
#include "serial/session.h"
#include "serial/write_thread.h"

namespace zindra::serial {

namespace {

constexpr const char* PortOpenMessage = "Can't perform this operation while port is open";

std::uint32_t rateOf(Baudrate b) {
    static constexpr std::uint32_t rates[] = {0,     110,   300,   600,   1200,  2400,   4800,   9600,
                                              14400, 19200, 38400, 56000, 57600, 115200, 128000, 256000};
    return rates[static_cast<std::size_t>(b)];
}

// DeviceName with PortNum in place of %d ("%%" gives "%").
std::string formatDeviceName(const std::string& pattern, std::int32_t portNum) {
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size()) {
            if (pattern[i + 1] == 'd') {
                out += std::to_string(portNum);
                ++i;
                continue;
            }
            if (pattern[i + 1] == '%') {
                out += '%';
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

}  // namespace

std::uint32_t eventMaskBit(CommEvent e) {
    switch (e) {
        case CommEvent::ceBreak: return EV_BREAK;
        case CommEvent::ceCts: return EV_CTS;
        case CommEvent::ceDsr: return EV_DSR;
        case CommEvent::ceError: return EV_ERR;
        case CommEvent::ceRing: return EV_RING;
        case CommEvent::ceRlsd: return EV_RLSD;
        case CommEvent::ceRxChar: return EV_RXCHAR;
        case CommEvent::ceTxEmpty: return EV_TXEMPTY;
        case CommEvent::ceRxFlag: return EV_RXFLAG;
        case CommEvent::cePErr: return EV_PERR;
        case CommEvent::ceRx80Full: return EV_RX80FULL;
        case CommEvent::ceEvent1: return EV_EVENT1;
        case CommEvent::ceEvent2: return EV_EVENT2;
    }
    return 0;
}

// --- Display ---

Display::~Display() {
    for (Comm* comm : ports_) comm->display_ = nullptr;
}

void Display::update(Comm&) {}

// --- construction ---

Comm::Comm() : platform_(platform::defaultPlatform()), running_(std::make_shared<std::atomic<int>>(0)) {
    buffers_.setOnChange([this](Persistent&) { bufferChanged(); });
    flowControl_.setOnChange([this](Persistent&) { writeDCB(); });
    eventChars_.setOnChange([this](Persistent&) { writeDCB(); });
}

Comm::~Comm() {
    destroying_ = true;
    try {
        close();
    } catch (...) {
        // OnClose is not called while destroying; nothing else raises here.
    }
    detachListeners();
    setDisplay(nullptr);
}

void Comm::setPlatform(std::shared_ptr<platform::Platform> platform) {
    checkClosed();
    platform_ = platform ? std::move(platform) : platform::defaultPlatform();
}

void Comm::reportException(std::exception_ptr e) const {
    detail::reportException(exceptionHandler_, std::move(e));
}

// --- failures ---

void Comm::checkClosed() const {
    if (active()) throw CommError(PortOpenMessage);
}

void Comm::raiseCommError(const std::string& pattern, int code) const {
    throw CommError(formatCommMessage(pattern, code, platform_->errorText(code)));
}

// --- names ---

std::string Comm::deviceTitle() const { return formatDeviceName(deviceName_, portNum_); }

std::string Comm::devicePath() const { return platform_->devicePath(deviceTitle()); }

// --- open and close ---

void Comm::open() {
    checkClosed();
    openDevice();
    deviceGone_ = false;
    try {
        writeDCB();
        applyBufferSizes();
        applyTimeouts();
        applyEventMask();
        createThreads();
    } catch (...) {
        detachSession();
        stopThreads();
        closeDevice();
        throw;
    }
    doOpen();
}

void Comm::openDevice() {
    int error = 0;
    auto device = platform_->open(devicePath(), error);
    if (!device) {
        const std::string title = escapePercent(deviceTitle());
        if (platform_->isNotFound(error))
            raiseCommError("Specified device not found (" + title + ").", error);
        raiseCommError("Can't open specified device " + title + " (Error %d, %s)", error);
    }
    device_ = std::move(device);
}

void Comm::writeDCB() {
    if (!active() || !updateDCB_) return;
    checkResult(device_->setState(buildDcb()), "Error writing dcb (%d), %s");
}

void Comm::applyBufferSizes() {
    if (!active()) return;
    checkResult(device_->setupQueues(static_cast<std::uint32_t>(buffers_.readSize()),
                                     static_cast<std::uint32_t>(buffers_.writeSize())),
                "Error initializing buffers (%d), %s");
}

void Comm::applyTimeouts() {
    if (!active()) return;
    CommTimeouts t;
    t.readIntervalTimeout = 0xFFFFFFFFu;  // reads return at once with what is queued
    checkResult(device_->setTimeouts(t), "Error setting timeouts (%d), %s");
}

void Comm::applyEventMask() {
    eventMask_ = 0;
    for (int e = 0; e <= static_cast<int>(CommEvent::ceEvent2); ++e) {
        const auto ev = static_cast<CommEvent>(e);
        if (monitorEvents_.contains(ev)) eventMask_ |= eventMaskBit(ev);
    }
    // The write thread reports an emptied buffer itself.
    if (!directWrite_) eventMask_ &= ~EV_TXEMPTY;
    if (active()) checkResult(device_->setEventMask(eventMask_), " Error setting EventMask (%d), %s");
}

void Comm::createThreads() {
    session_ = std::make_shared<detail::Session>();
    session_->comm = this;
    session_->dispatcher = dispatcher_;
    session_->exceptionHandler = exceptionHandler_;
    session_->notifyTxEmpty = static_cast<bool>(onTxEmpty) || !listeners_.empty();
    if (eventMask_ != 0)
        eventThread_ = EventThread::start(device_, platform_, session_, eventPriority_, running_);
    if (!directWrite_) {
        writeThread_ =
            WriteThread::start(device_, platform_, session_, static_cast<std::size_t>(buffers_.writeSize()),
                               writePriority_, running_);
    }
}

void Comm::doOpen() {
    if (!onOpen) return;
    try {
        auto handler = onOpen;
        handler(*this);
    } catch (...) {
        reportException(std::current_exception());
    }
}

void Comm::close() {
    if (!active()) return;
    detachSession();
    {
        std::lock_guard guard(readLock_);
        stopThreads();
    }
    closeDevice();
    doClose();
}

void Comm::detachSession() {
    // Cut the open period off before anything else: a call the threads have
    // queued on the UI thread finds it closed, and one running right now (on
    // a worker, without a dispatcher) is waited for.  Taken outside
    // ReadLock, since handlers take ReadLock inside it.
    if (!session_) return;
    std::lock_guard guard(session_->uiMutex);
    session_->comm = nullptr;
}

void Comm::stopThreads() {
    if (eventThread_) {
        eventThread_->stop();
        eventThread_.reset();
    }
    if (writeThread_) {
        writeThread_->stop();
        writeThread_.reset();
    }
    session_.reset();
}

void Comm::closeDevice() {
    if (!device_) return;
    device_->close();
    device_.reset();
}

void Comm::doClose() {
    if (destroying_ || !onClose) return;
    auto handler = onClose;
    handler(*this);
}

void Comm::loaded() {
    if (autoOpen_) open();
}

// --- reading and writing ---

int Comm::writeBuf(const void* buffer, int count) {
    // A device that has gone away was reported once; writing to it does
    // nothing, like writing to a closed port, so that "write, then close"
    // sequences still reach their close.
    if (!active() || count <= 0 || deviceGone_) return 0;
    if (!writeThread_) return directWriteBuf(buffer, count);
    switch (writeThread_->queue(buffer, static_cast<std::size_t>(count),
                                static_cast<std::uint32_t>(buffers_.writeTimeout()))) {
        case WriteThread::QueueResult::Queued: return count;
        case WriteThread::QueueResult::Full:
            throw CommError("Output buffer is full. Please check comm status.");
        case WriteThread::QueueResult::Gone: return 0;
    }
    return 0;
}

int Comm::directWriteBuf(const void* buffer, int count) {
    std::lock_guard guard(writeLock_);
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    const auto total = static_cast<std::size_t>(count);
    const auto timeout = static_cast<std::uint32_t>(buffers_.readTimeout());
    TickTimer timer;
    timer.start(timeout);
    std::size_t done = 0;
    while (done < total) {
        std::size_t put = 0;
        const int err = device_->write(bytes + done, total - done, put);
        if (err != 0) {
            if (done == 0) raiseCommError("Write error (%d), %s", err);
            break;
        }
        done += put;
        if (done == total || put > 0) continue;
        const std::uint32_t now = tickCount();
        if (timer.expired(now)) break;
        int waitError = 0;
        if (device_->waitWritable({}, timeout - timer.elapsed(now), waitError) < 0) break;
    }
    return static_cast<int>(done);
}

bool Comm::flushOutput(std::uint32_t timeoutMs) {
    if (!active() || !writeThread_) return true;
    return writeThread_->waitEmpty(timeoutMs);
}

int Comm::readBuf(void* buffer, int count) {
    if (!active() || count <= 0) return 0;
    std::size_t got = 0;
    int code = 0;
    {
        std::lock_guard guard(readLock_);
        code = device_->read(buffer, static_cast<std::size_t>(count), got);
    }
    if (reportIfGone(code)) return 0;
    checkResult(code, "Read error (%d), %s");
    return static_cast<int>(got);
}

bool Comm::reportIfGone(int code) {
    if (code == 0 || !platform_->isGone(code)) return false;
    const auto session = session_;
    if (session && !session->goneReported.exchange(true)) handleGone(code);
    return true;
}

CommStatus Comm::getStatus() {
    CommStatus status;
    int code = 0;
    {
        std::lock_guard guard(readLock_);
        if (active()) code = device_->clearError(status);
    }
    if (reportIfGone(code)) return CommStatus{};
    checkResult(code, "Error retrieving statistics (%d), %s");
    return status;
}

int Comm::inQueueCount() {
    if (!active()) return 0;
    std::uint32_t count = 0;
    int code = 0;
    {
        std::lock_guard guard(readLock_);
        code = device_->inQueue(count);
    }
    if (reportIfGone(code)) return 0;
    checkResult(code, "Error retrieving statistics (%d), %s");
    return static_cast<int>(count);
}

bool Comm::checkErrors() {
    const CommStatus status = getStatus();
    if (status.errors == 0) return false;
    if (onError) {
        try {
            auto handler = onError;
            handler(*this, static_cast<int>(status.errors));
        } catch (...) {
            reportException(std::current_exception());
        }
    }
    return true;
}

void Comm::setDTR(bool value) {
    if (flowControl_.controlDtr() == ControlDtr::dtrHandshake)
        throw CommError("DTR line updates not allowed when flowcontrol is set to Handshake.");
    escapeComm(value ? EscapeFunction::SETDTR : EscapeFunction::CLRDTR);
}

void Comm::setRTS(bool value) {
    const ControlRts rts = flowControl_.controlRts();
    if (rts == ControlRts::rtsHandshake || rts == ControlRts::rtsToggle)
        throw CommError("RTS line updates not allowed when flowcontrol is set to Handshake or Toggle.");
    escapeComm(value ? EscapeFunction::SETRTS : EscapeFunction::CLRRTS);
}

void Comm::escapeComm(EscapeFunction function) {
    if (!active()) return;
    checkResult(device_->escape(function), "Error calling comm function (%d), %s");
}

// --- properties ---

void Comm::setPortNum(std::int32_t value) {
    checkClosed();
    if (value < 0) throw std::out_of_range("PortNum below 0");
    portNum_ = value;
}

void Comm::setDeviceName(const std::string& value) {
    checkClosed();
    deviceName_ = value;
}

void Comm::setMonitorEvents(CommEvents value) {
    checkClosed();
    monitorEvents_ = value;
}

void Comm::setBuffers(const Buffers& value) {
    checkClosed();
    buffers_.assign(value);
}

void Comm::setEventPriority(ThreadPriority value) {
    if (value == eventPriority_) return;
    eventPriority_ = value;
    if (eventThread_) eventThread_->setPriority(value);
}

void Comm::setWritePriority(ThreadPriority value) {
    if (value == writePriority_) return;
    writePriority_ = value;
    if (writeThread_) writeThread_->setPriority(value);
}

void Comm::setDirectWrite(bool value) {
    checkClosed();
    directWrite_ = value;
}

void Comm::setBaudrate(Baudrate value) {
    if (value == baudrate_) return;
    baudrate_ = value;
    if (value != Baudrate::brUser) userBaudrate_ = 0;
    writeDCB();
}

void Comm::setParity(Parity value) {
    if (value == parity_) return;
    parity_ = value;
    writeDCB();
}

void Comm::setDatabits(Databits value) {
    if (value == databits_) return;
    databits_ = value;
    writeDCB();
}

void Comm::setStopbits(Stopbits value) {
    if (value == stopbits_) return;
    stopbits_ = value;
    writeDCB();
}

void Comm::setOptions(CommOptions value) {
    if (value == options_) return;
    options_ = value;
    writeDCB();
}

void Comm::setUpdateDCB(bool value) {
    checkClosed();
    updateDCB_ = value;
}

void Comm::setUserBaudrate(std::int32_t value) {
    if (value == userBaudrate_) return;
    userBaudrate_ = value;
    baudrate_ = Baudrate::brUser;
    writeDCB();
}

void Comm::setDisplay(Display* value) {
    if (value == display_) return;
    if (display_ != nullptr) std::erase(display_->ports_, this);
    display_ = value;
    if (display_ != nullptr) display_->ports_.push_back(this);
}

void Comm::bufferChanged() {
    checkClosed();
    applyBufferSizes();
    writeDCB();
}

Dcb Comm::buildDcb() const {
    Dcb d;
    d.baudRate =
        baudrate_ == Baudrate::brUser ? static_cast<std::uint32_t>(userBaudrate_) : rateOf(baudrate_);
    d.fBinary = true;
    d.fParity = options_.contains(CommOption::coParityCheck);
    d.fOutxCtsFlow = flowControl_.outCtsFlow();
    d.fOutxDsrFlow = flowControl_.outDsrFlow();
    d.fDtrControl = static_cast<std::uint8_t>(flowControl_.controlDtr());
    d.fDsrSensitivity = flowControl_.dsrSensitivity();
    d.fTXContinueOnXoff = flowControl_.txContinueOnXoff();
    d.fOutX = flowControl_.xonXoffOut();
    d.fInX = flowControl_.xonXoffIn();
    d.fErrorChar = options_.contains(CommOption::coErrorChar);
    d.fNull = options_.contains(CommOption::coNullStrip);
    d.fRtsControl = static_cast<std::uint8_t>(flowControl_.controlRts());
    d.fAbortOnError = false;
    d.xonLim = static_cast<std::uint16_t>(buffers_.xonLimit() & 0xFFFF);
    d.xoffLim = static_cast<std::uint16_t>(buffers_.xoffLimit() & 0xFFFF);
    d.byteSize = static_cast<std::uint8_t>(4 + static_cast<int>(databits_));
    d.parity = static_cast<std::uint8_t>(parity_);
    d.stopBits = static_cast<std::uint8_t>(stopbits_);
    d.xonChar = eventChars_.xonChar();
    d.xoffChar = eventChars_.xoffChar();
    d.errorChar = eventChars_.errorChar();
    d.eofChar = eventChars_.eofChar();
    d.evtChar = eventChars_.eventChar();
    return d;
}

// --- listeners ---

void Comm::attachListener(ListenerTarget& target) {
    auto listener = std::make_unique<Listener>();
    listener->comm = this;
    listener->target = &target;
    listeners_.push_back(std::move(listener));
}

void Comm::detachListeners() {
    while (!listeners_.empty()) {
        listeners_.back()->comm = nullptr;
        listeners_.pop_back();
    }
}

void Comm::notifyListenerEvents(std::uint32_t mask) {
    if (!listenersEnabled_) return;
    for (const auto& l : listeners_) {
        if (l->enabled) l->target->commEvent(mask);
    }
}

void Comm::notifyListenerData(const std::uint8_t* data, int count) {
    if (listenersEnabled_) {
        for (const auto& l : listeners_) {
            if (l->enabled) l->target->commData(data, count);
        }
    }
    if (onRxBuf) {
        auto handler = onRxBuf;
        handler(*this, data, count);
    }
}

// --- notifications (UI thread) ---

bool Comm::current(const detail::Session& session, const Comm* comm) { return session.comm == comm; }

void Comm::handleEvent(std::uint32_t events) {
    const auto session = session_;  // stays valid if a handler closes the port
    if (display_ != nullptr) display_->update(*this);
    if (!current(*session, this)) return;
    if (maskHas(events, EV_RXCHAR)) {
        handleRxChar();
        if (!current(*session, this)) return;
        events &= ~EV_RXCHAR;
    }
    if (events != 0) handleEvents(events);
}

void Comm::handleRxChar() {
    const int count = inQueueCount();
    if (count <= 0) return;
    if (!listeners_.empty()) {
        std::vector<std::uint8_t> block(static_cast<std::size_t>(count));
        const int got = readBuf(block.data(), count);
        notifyListenerData(block.data(), got);
    } else if (onRxChar) {
        auto handler = onRxChar;
        handler(*this, count);
    }
}

void Comm::handleEvents(std::uint32_t mask) {
    const auto session = session_;
    // After a handler closed the port, no further handler of the batch runs.
    const auto closed = [&] { return !session || !current(*session, this); };
    if (maskHas(mask, EV_ERR)) {
        checkErrors();
        if (closed()) return;
    }
    if (!listeners_.empty()) {
        notifyListenerEvents(mask);
        if (closed()) return;
    }
    static constexpr std::pair<std::uint32_t, NotifyEvent Comm::*> steps[] = {
        {EV_RXFLAG, &Comm::onRxFlag}, {EV_CTS, &Comm::onCts},       {EV_DSR, &Comm::onDsr},
        {EV_RING, &Comm::onRing},     {EV_RLSD, &Comm::onRlsd},     {EV_TXEMPTY, &Comm::onTxEmpty},
        {EV_BREAK, &Comm::onBreak},   {EV_PERR, &Comm::onPErr},     {EV_RX80FULL, &Comm::onRx80Full},
        {EV_EVENT1, &Comm::onEvent1}, {EV_EVENT2, &Comm::onEvent2},
    };
    for (const auto& [bit, member] : steps) {
        if (!maskHas(mask, bit) || !(this->*member)) continue;
        auto handler = this->*member;
        handler(*this);
        if (closed()) return;
    }
}

void Comm::handleGone(int error) {
    deviceGone_ = true;
    if (writeThread_) writeThread_->deviceGone(error);
    if (onHangup) {
        auto handler = onHangup;
        handler(*this);
        return;
    }
    throw CommError(
        formatCommMessage("Lost connection to " + escapePercent(deviceTitle()) + " (Error %d, %s)", error,
                          platform_->errorText(error)));
}

}  // namespace zindra::serial
