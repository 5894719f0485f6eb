// The registry: one table row per protocol names its reply and its decoder,
// and one decoder object per protocol lives for the whole run.
#pragma once

#include <array>
#include <memory>
#include <string_view>

#include "decoders/decoder.h"
#include "decoders/protocol.h"

namespace zindra::decoders {

using DecoderFactory = std::unique_ptr<Decoder> (*)();

// One row of the protocol table; the rows stand in the order of Protocol.
struct ProtocolEntry {
    Protocol protocol;
    std::string_view name;  // see protocolName()
    DecoderFactory factory;
};

const std::array<ProtocolEntry, ProtocolCount>& protocolTable();

// One factory per protocol, each in its own source file.
std::unique_ptr<Decoder> makeDefaultDecoder();
std::unique_ptr<Decoder> makeUgmDecoder();
std::unique_ptr<Decoder> makeUezDecoder();
std::unique_ptr<Decoder> makeTn1060Decoder();
std::unique_ptr<Decoder> makeEblDecoder();
std::unique_ptr<Decoder> makeLcaDecoder();
std::unique_ptr<Decoder> makeSdnDecoder();
std::unique_ptr<Decoder> makeSm88Decoder();
std::unique_ptr<Decoder> makeSigmaDecoder();
std::unique_ptr<Decoder> makeSigmaPrnDecoder();
std::unique_ptr<Decoder> makeZetfasDecoder();
std::unique_ptr<Decoder> makeBmciDecoder();
std::unique_ptr<Decoder> makeHekatronDecoder();
std::unique_ptr<Decoder> makeHsb180Decoder();
std::unique_ptr<Decoder> makeEsserDecoder();
std::unique_ptr<Decoder> makeIgisDecoder();
std::unique_ptr<Decoder> makePlainTextDecoder();
std::unique_ptr<Decoder> makeSm88PrnDecoder();
std::unique_ptr<Decoder> makeSecuritonDecoder();
std::unique_ptr<Decoder> makeFilnetDecoder();

// Creates every decoder once; the objects live as long as the registry, so
// decoders that keep flags of their own keep them across traces.
class DecoderRegistry {
public:
    DecoderRegistry();
    Decoder* get(Protocol p) const { return decoders_[static_cast<std::size_t>(p)].get(); }
    // Every decoder forgets the frame or line it had begun.
    void dropPartials() const {
        for (const auto& d : decoders_)
            if (d) d->dropPartial();
    }

private:
    std::array<std::unique_ptr<Decoder>, ProtocolCount> decoders_;
};

}  // namespace zindra::decoders
