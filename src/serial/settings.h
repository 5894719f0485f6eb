// Nested settings objects of the serial port: flow control, special
// characters and buffer sizes/time-outs.  Each object tells its owner about
// changes through one change notice; copying a whole object with assign()
// gives exactly one notice.
#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>

#include "serial/types.h"

namespace zindra::serial {

// Raised by assign() when the source is missing or of another kind.
class ConvertError : public std::invalid_argument {
public:
    using std::invalid_argument::invalid_argument;
};

class Persistent {
public:
    using ChangeHandler = std::function<void(Persistent& sender)>;

    Persistent() = default;
    // A copy takes the values only: no owner, no update in progress.
    Persistent(const Persistent&) {}
    Persistent& operator=(const Persistent&) = delete;
    virtual ~Persistent() = default;

    // Notices are dropped (not deferred) while an update is in progress.
    void beginUpdate() { ++updateCount_; }
    // Ends one update level (never below 0) and always sends a notice.
    void endUpdate();
    [[nodiscard]] int updateCount() const { return updateCount_; }

    // The owner's notice.  An exception it throws leaves the setter or
    // assign() that caused it; the value is stored by then.
    void setOnChange(ChangeHandler handler) { onChange_ = std::move(handler); }

    // Copies all values of `source` inside one update, so the owner gets one
    // notice even when nothing changed (and even when that notice throws, the
    // update level is restored).  ConvertError when `source` is null or of
    // another kind; nothing changes then.
    virtual void assign(const Persistent* source) = 0;
    [[nodiscard]] virtual const char* className() const = 0;

protected:
    void changed();
    [[noreturn]] void refuseAssign(const Persistent* source) const;
    // Runs `copy` between beginUpdate and endUpdate.
    template <typename F>
    void updateWith(F&& copy) {
        beginUpdate();
        try {
            copy();
        } catch (...) {
            try {
                endUpdate();
            } catch (...) {}
            throw;
        }
        endUpdate();
    }

private:
    int updateCount_ = 0;
    ChangeHandler onChange_;
};

class FlowControl : public Persistent {
public:
    FlowControl() = default;
    FlowControl(const FlowControl&) = default;

    // Setters store and notify only when the value differs.
    [[nodiscard]] bool outCtsFlow() const { return outCtsFlow_; }
    void setOutCtsFlow(bool v) { set(outCtsFlow_, v); }
    [[nodiscard]] bool outDsrFlow() const { return outDsrFlow_; }
    void setOutDsrFlow(bool v) { set(outDsrFlow_, v); }
    [[nodiscard]] ControlDtr controlDtr() const { return controlDtr_; }
    void setControlDtr(ControlDtr v) { set(controlDtr_, v); }
    [[nodiscard]] ControlRts controlRts() const { return controlRts_; }
    void setControlRts(ControlRts v) { set(controlRts_, v); }
    [[nodiscard]] bool xonXoffOut() const { return xonXoffOut_; }
    void setXonXoffOut(bool v) { set(xonXoffOut_, v); }
    [[nodiscard]] bool xonXoffIn() const { return xonXoffIn_; }
    void setXonXoffIn(bool v) { set(xonXoffIn_, v); }
    [[nodiscard]] bool dsrSensitivity() const { return dsrSensitivity_; }
    void setDsrSensitivity(bool v) { set(dsrSensitivity_, v); }
    [[nodiscard]] bool txContinueOnXoff() const { return txContinueOnXoff_; }
    void setTxContinueOnXoff(bool v) { set(txContinueOnXoff_, v); }

    void assign(const Persistent* source) override;
    void assign(const FlowControl& source) { assign(static_cast<const Persistent*>(&source)); }
    [[nodiscard]] const char* className() const override { return "FlowControl"; }

private:
    template <typename T>
    void set(T& field, T value) {
        if (field == value) return;
        field = value;
        changed();
    }

    bool outCtsFlow_ = false;
    bool outDsrFlow_ = false;
    ControlDtr controlDtr_ = ControlDtr::dtrDisabled;
    ControlRts controlRts_ = ControlRts::rtsDisabled;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
};

class EventChars : public Persistent {
public:
    // Indexes of the shared setter.
    static constexpr int XonIndex = 1, XoffIndex = 2, ErrorIndex = 3, EventIndex = 4, EofIndex = 5;

    EventChars() = default;
    EventChars(const EventChars&) = default;

    // The character of one index (1..5); std::out_of_range otherwise.
    [[nodiscard]] std::uint8_t chr(int index) const;
    // Stores the character and notifies every time, also for an equal value.
    void setChr(int index, std::uint8_t value);

    [[nodiscard]] std::uint8_t xonChar() const { return chars_[0]; }
    void setXonChar(std::uint8_t v) { setChr(XonIndex, v); }
    [[nodiscard]] std::uint8_t xoffChar() const { return chars_[1]; }
    void setXoffChar(std::uint8_t v) { setChr(XoffIndex, v); }
    [[nodiscard]] std::uint8_t errorChar() const { return chars_[2]; }
    void setErrorChar(std::uint8_t v) { setChr(ErrorIndex, v); }
    [[nodiscard]] std::uint8_t eventChar() const { return chars_[3]; }
    void setEventChar(std::uint8_t v) { setChr(EventIndex, v); }
    [[nodiscard]] std::uint8_t eofChar() const { return chars_[4]; }
    void setEofChar(std::uint8_t v) { setChr(EofIndex, v); }

    void assign(const Persistent* source) override;
    void assign(const EventChars& source) { assign(static_cast<const Persistent*>(&source)); }
    [[nodiscard]] const char* className() const override { return "EventChars"; }

private:
    std::uint8_t chars_[5] = {17, 19, 0, 0, 0};
};

class Buffers : public Persistent {
public:
    Buffers() = default;
    Buffers(const Buffers&) = default;

    // Sizes and limits: store and notify only when the value differs.
    // Every value is 0..2147483647; a negative one raises std::out_of_range.
    [[nodiscard]] std::int32_t readSize() const { return readSize_; }
    void setReadSize(std::int32_t v) { set(readSize_, v); }
    [[nodiscard]] std::int32_t writeSize() const { return writeSize_; }
    void setWriteSize(std::int32_t v) { set(writeSize_, v); }
    [[nodiscard]] std::int32_t xonLimit() const { return xonLimit_; }
    void setXonLimit(std::int32_t v) { set(xonLimit_, v); }
    [[nodiscard]] std::int32_t xoffLimit() const { return xoffLimit_; }
    void setXoffLimit(std::int32_t v) { set(xoffLimit_, v); }

    // Time-outs in milliseconds: stored without a notice, so they can be
    // changed while the port is open and apply to the next wait.
    [[nodiscard]] std::int32_t readTimeout() const { return readTimeout_; }
    void setReadTimeout(std::int32_t v) { readTimeout_ = checked(v); }
    [[nodiscard]] std::int32_t writeTimeout() const { return writeTimeout_; }
    void setWriteTimeout(std::int32_t v) { writeTimeout_ = checked(v); }

    void assign(const Persistent* source) override;
    void assign(const Buffers& source) { assign(static_cast<const Persistent*>(&source)); }
    [[nodiscard]] const char* className() const override { return "Buffers"; }

private:
    static std::int32_t checked(std::int32_t v);
    void set(std::int32_t& field, std::int32_t value) {
        value = checked(value);
        if (field == value) return;
        field = value;
        changed();
    }

    std::int32_t readSize_ = 4096;
    std::int32_t writeSize_ = 2048;
    std::int32_t readTimeout_ = 1000;
    std::int32_t writeTimeout_ = 1000;
    std::int32_t xonLimit_ = 1024;
    std::int32_t xoffLimit_ = 1024;
};

}  // namespace zindra::serial
