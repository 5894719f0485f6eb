// The protocols Zindra decodes.  Their order, reply names and decoders are
// kept in one table in registry.cpp; this header only names them.
#pragma once

#include <string_view>

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

// The protocol's name as the panel's reply gives it ("UGM", "SIGMAPRN");
// "DEFAULT" and "PLAINTEXT" for the two decoders no single reply names, "?"
// for a value outside the enumeration.
std::string_view protocolName(Protocol p);

}  // namespace zindra::decoders
