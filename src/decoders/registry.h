// The protocols Zindra decodes and the registry that holds one decoder object
// for each of them for the whole run.
#pragma once

#include <array>
#include <memory>
#include <string_view>

#include "decoders/decoder.h"

namespace zindra::decoders {

enum class Protocol : int {
    Default,
    Ugm,
    Uez,
    Tn1060,
    Ebl,
    Lca,
    Sdn,
    Sm88,
    Sigma,
    SigmaPrn,
    Zetfas,
    Bmci,
    Hekatron,
    Hsb180,
    Esser,
    Igis,
    PlainText,
    Sm88Prn,
    Securiton,
    Filnet,
    Count
};

inline constexpr int ProtocolCount = static_cast<int>(Protocol::Count);

// A short name for messages and tests ("UGM", "PLAINTEXT", "DEFAULT").
std::string_view protocolName(Protocol p);

// One factory per protocol, each in its own source file.  A factory returns
// nullptr while its decoder is not built.
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
    // nullptr when the protocol's decoder is not built.
    Decoder* get(Protocol p) const { return decoders_[static_cast<std::size_t>(p)].get(); }

private:
    std::array<std::unique_ptr<Decoder>, ProtocolCount> decoders_;
};

}  // namespace zindra::decoders
