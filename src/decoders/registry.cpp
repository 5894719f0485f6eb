#include "decoders/registry.h"

namespace zindra::decoders {

std::string_view protocolName(Protocol p) {
    static constexpr std::array<std::string_view, ProtocolCount> names = {
        "DEFAULT", "UGM",  "UEZ",      "TN1060",   "EBL",    "LCA",  "SDN",
        "SM88",    "SIGMA", "SIGMAPRN", "ZETFAS",  "BMCI",   "HEKATRON", "HSB180",
        "ESSER",   "IGIS", "PLAINTEXT", "SM88PRN", "SECURITON", "FILNET"};
    const int i = static_cast<int>(p);
    return i >= 0 && i < ProtocolCount ? names[static_cast<std::size_t>(i)] : std::string_view("?");
}

DecoderRegistry::DecoderRegistry() {
    using Factory = std::unique_ptr<Decoder> (*)();
    static constexpr std::array<Factory, ProtocolCount> factories = {
        makeDefaultDecoder, makeUgmDecoder,      makeUezDecoder,    makeTn1060Decoder,
        makeEblDecoder,     makeLcaDecoder,      makeSdnDecoder,    makeSm88Decoder,
        makeSigmaDecoder,   makeSigmaPrnDecoder, makeZetfasDecoder, makeBmciDecoder,
        makeHekatronDecoder, makeHsb180Decoder,  makeEsserDecoder,  makeIgisDecoder,
        makePlainTextDecoder, makeSm88PrnDecoder, makeSecuritonDecoder, makeFilnetDecoder};
    for (std::size_t i = 0; i < factories.size(); ++i) decoders_[i] = factories[i]();
}

}  // namespace zindra::decoders
