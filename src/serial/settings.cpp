#include "serial/settings.h"

#include <string>

namespace zindra::serial {

void Persistent::endUpdate() {
    if (updateCount_ > 0) --updateCount_;
    changed();
}

void Persistent::changed() {
    if (updateCount_ == 0 && onChange_) onChange_(*this);
}

void Persistent::refuseAssign(const Persistent* source) const {
    throw ConvertError(std::string("Cannot assign a ") + (source ? source->className() : "nil") + " to a " +
                       className());
}

void FlowControl::assign(const Persistent* source) {
    const auto* src = dynamic_cast<const FlowControl*>(source);
    if (src == nullptr) refuseAssign(source);
    const FlowControl from(*src);  // `source` may be this object
    updateWith([&] {
        setOutCtsFlow(from.outCtsFlow_);
        setOutDsrFlow(from.outDsrFlow_);
        setControlDtr(from.controlDtr_);
        setControlRts(from.controlRts_);
        setXonXoffOut(from.xonXoffOut_);
        setXonXoffIn(from.xonXoffIn_);
        setDsrSensitivity(from.dsrSensitivity_);
        setTxContinueOnXoff(from.txContinueOnXoff_);
    });
}

std::uint8_t EventChars::chr(int index) const {
    if (index < XonIndex || index > EofIndex) throw std::out_of_range("event character index");
    return chars_[index - 1];
}

void EventChars::setChr(int index, std::uint8_t value) {
    if (index < XonIndex || index > EofIndex) throw std::out_of_range("event character index");
    chars_[index - 1] = value;
    changed();
}

void EventChars::assign(const Persistent* source) {
    const auto* src = dynamic_cast<const EventChars*>(source);
    if (src == nullptr) refuseAssign(source);
    const EventChars from(*src);
    updateWith([&] {
        for (int i = XonIndex; i <= EofIndex; ++i) setChr(i, from.chr(i));
    });
}

std::int32_t Buffers::checked(std::int32_t v) {
    if (v < 0) throw std::out_of_range("buffer setting below 0: " + std::to_string(v));
    return v;
}

void Buffers::assign(const Persistent* source) {
    const auto* src = dynamic_cast<const Buffers*>(source);
    if (src == nullptr) refuseAssign(source);
    const Buffers from(*src);
    updateWith([&] {
        readSize_ = from.readSize_;
        readTimeout_ = from.readTimeout_;
        writeSize_ = from.writeSize_;
        writeTimeout_ = from.writeTimeout_;
        xonLimit_ = from.xonLimit_;
        xoffLimit_ = from.xoffLimit_;
    });
}

}  // namespace zindra::serial
