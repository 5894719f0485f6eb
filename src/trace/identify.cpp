#include "trace/identify.h"

namespace zindra::trace {

using decoders::Protocol;

const PanelType* panelTypes() {
    static constexpr PanelType table[PanelTypeCount] = {
        {"UGM", Protocol::Ugm, " UGM Trace "},
        {"UEZ", Protocol::Uez, " UEZ Trace "},
        {"TN1060", Protocol::Tn1060, " 1060 Trace "},
        {"SDN", Protocol::Sdn, " SDN Trace "},
        {"SM88", Protocol::Sm88, " SM88 Trace "},
        {"SIGMA", Protocol::Sigma, " SIGMASYS Trace "},
        {"SIGMAPRN", Protocol::SigmaPrn, " SIGMASYS Drucker Trace "},
        {"SECURITON", Protocol::Securiton, " SECURITON Drucker Trace "},
        {"EBL", Protocol::Ebl, " EBL Trace "},
        {"ZETFAS", Protocol::Zetfas, " ZETFAS Trace "},
        {"FILNET", Protocol::Filnet, " FILNET Trace "},
        {"BMCI", Protocol::Bmci, " BMCI Trace "},
        {"HEKATRON", Protocol::Hekatron, " HEKATRON  Trace "},
        {"HSB180", Protocol::Hsb180, " HSB180  Trace "},
        {"LCA", Protocol::Lca, " USP32 Trace "},
        {"ESSER", Protocol::Esser, " ESSER Trace "},
        {"ESSERPRN", Protocol::Hsb180, " ESSERPRN  Trace "},
        {"IGIS", Protocol::Igis, " IGIS  Trace "},
        {"ALGOREX", Protocol::PlainText, " AlgoRex PRN  Trace ", true},
        {"UNBEKANNT", Protocol::Default, " Trace aktiv ", false, true},
        {"IGISPRN", Protocol::PlainText, " IGIS Drucker Trace "},
        {"SM88PRN", Protocol::Sm88Prn, " SM88 Drucker Trace "},
    };
    return table;
}

std::optional<int> matchPanelType(std::string_view reply) {
    const PanelType* table = panelTypes();
    for (int i = 0; i < PanelTypeCount; ++i) {
        const PanelType& row = table[i];
        const bool hit = row.substring ? reply.find(row.reply) != std::string_view::npos : reply == row.reply;
        if (hit) return i;
    }
    return std::nullopt;
}

const char* const NoConnectionText =
    "\n Es konnte keine Verbindung \n\r zum FAT aufgebaut werden.\n\r Versuchen Sie es noch einmal. "
    "\n\n\r M\xF6glicherweise unterst\xFCtzt das \n\r FAT Programm keinen Trace. \n\n";

const char* const NoAnswerText =
    "\n Es konnte keine Verbindung \n\r zum FAT aufgebaut werden.\n\r Versuchen Sie es noch einmal. "
    "\n\n\r \xDC"
    "berpr\xFC"
    "fen Sie das Kabel zwischen\n\r PC und FAT. \n\n Stimmt die Schnittstelleneinstellung ???\n\n";

const char* const NoPortText = "\nSie haben keine Schnittstelle ausgew\xE4hlt\n";

}  // namespace zindra::trace
