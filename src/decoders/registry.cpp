#include "decoders/registry.h"

namespace zindra::decoders {
namespace {

constexpr std::array<ProtocolEntry, ProtocolCount> Table = {{
    {Protocol::Default, "DEFAULT", makeDefaultDecoder},
    {Protocol::Ugm, "UGM", makeUgmDecoder},
    {Protocol::Uez, "UEZ", makeUezDecoder},
    {Protocol::Tn1060, "TN1060", makeTn1060Decoder},
    {Protocol::Ebl, "EBL", makeEblDecoder},
    {Protocol::Lca, "LCA", makeLcaDecoder},
    {Protocol::Sdn, "SDN", makeSdnDecoder},
    {Protocol::Sm88, "SM88", makeSm88Decoder},
    {Protocol::Sigma, "SIGMA", makeSigmaDecoder},
    {Protocol::SigmaPrn, "SIGMAPRN", makeSigmaPrnDecoder},
    {Protocol::Zetfas, "ZETFAS", makeZetfasDecoder},
    {Protocol::Bmci, "BMCI", makeBmciDecoder},
    {Protocol::Hekatron, "HEKATRON", makeHekatronDecoder},
    {Protocol::Hsb180, "HSB180", makeHsb180Decoder},
    {Protocol::Esser, "ESSER", makeEsserDecoder},
    {Protocol::Igis, "IGIS", makeIgisDecoder},
    {Protocol::PlainText, "PLAINTEXT", makePlainTextDecoder},
    {Protocol::Sm88Prn, "SM88PRN", makeSm88PrnDecoder},
    {Protocol::Securiton, "SECURITON", makeSecuritonDecoder},
    {Protocol::Filnet, "FILNET", makeFilnetDecoder},
}};

constexpr bool rowsInEnumOrder() {
    for (std::size_t i = 0; i < Table.size(); ++i) {
        if (static_cast<std::size_t>(Table[i].protocol) != i) return false;
    }
    return true;
}
static_assert(rowsInEnumOrder(), "the protocol table must hold one row per Protocol, in enum order");

}  // namespace

const std::array<ProtocolEntry, ProtocolCount>& protocolTable() { return Table; }

std::string_view protocolName(Protocol p) {
    const int i = static_cast<int>(p);
    return i >= 0 && i < ProtocolCount ? Table[static_cast<std::size_t>(i)].name : std::string_view("?");
}

DecoderRegistry::DecoderRegistry() {
    for (std::size_t i = 0; i < Table.size(); ++i) decoders_[i] = Table[i].factory();
}

}  // namespace zindra::decoders
