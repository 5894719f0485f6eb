#include "app/recording_texts.h"

#include <QRegularExpression>
#include <utility>

namespace zindra::app {
namespace {

struct Phrase {
    const char* english;  // a regular expression
    const char* german;   // with \1, \2 for its groups
};

// The recording layer's sentences, whole where they are fixed, in pieces
// where names and numbers stand between; then the system's reasons.
const Phrase Phrases[] = {
    {"^No folder was given for the recording: the name is empty$",
     "Kein Ordner f\u00FCr die Aufzeichnung angegeben: der Name ist leer"},
    {"^Cannot make the folder (.+) for recordings: (.+)$",
     "Der Ordner \\1 f\u00FCr Aufzeichnungen l\u00E4sst sich nicht anlegen: \\2"},
    {"^The folder (.+) is itself a recording: choose the folder that holds the recordings$",
     "Der Ordner \\1 ist selbst eine Aufzeichnung: w\u00E4hlen Sie den Ordner, der die Aufzeichnungen "
     "enth\u00E4lt"},
    {"^Cannot make a recording folder in (.+): too many recordings of this second$",
     "In \\1 l\u00E4sst sich kein Aufzeichnungsordner anlegen: zu viele Aufzeichnungen in dieser Sekunde"},
    {"^Cannot make a recording folder in (.+): (.+)$",
     "In \\1 l\u00E4sst sich kein Aufzeichnungsordner anlegen: \\2"},
    {"^Cannot start the recording in (.+): cannot write (.+): (.+)$",
     "Die Aufzeichnung in \\1 kann nicht beginnen: \\2 l\u00E4sst sich nicht schreiben: \\3"},
    {"^Cannot read the recording (.+): (.+)$", "Die Aufzeichnung \\1 ist nicht lesbar: \\2"},
    {"^(.+) is not a recording folder: it is a file$",
     "\\1 ist kein Aufzeichnungsordner, sondern eine Datei"},
    {"^(.+) is not a recording folder: it has neither (\\S+) nor (\\S+)$",
     "\\1 ist kein Aufzeichnungsordner: er enth\u00E4lt weder \\2 noch \\3"},
    {" is missing: port, protocol, times and gaps are unknown",
     " fehlt: Schnittstelle, Protokoll, Zeiten und Unterbrechungen sind unbekannt"},
    {": port, protocol, times and gaps are unknown",
     ": Schnittstelle, Protokoll, Zeiten und Unterbrechungen sind unbekannt"},
    {" is larger than a manifest can be", " ist gr\u00F6\u00DFer, als ein Manifest sein kann"},
    {" is larger than the index of (\\S+) can be", " ist gr\u00F6\u00DFer, als der Index von \\1 sein kann"},
    {" has no end: the recording was cut off \\(a crash or power cut\\) and is read as far as it was written",
     " hat kein Ende: die Aufzeichnung wurde abgebrochen (Absturz oder Stromausfall) und wird gelesen, so "
     "weit sie geschrieben wurde"},
    {": the last line is half written", ": die letzte Zeile ist halb geschrieben"},
    {": the last entry is half written", ": der letzte Eintrag ist halb geschrieben"},
    {": entry (\\d+) is damaged: the rest of ", ": Eintrag \\1 ist besch\u00E4digt: der Rest von "},
    {" is not a time index: ", " ist kein Zeitindex: "},
    {"^(\\d+) segments are missing in ", "\\1 Abschnitte fehlen in "},
    {" is missing in ", " fehlt in "},
    {" is missing: ", " fehlt: "},
    {" is replayed without times", " wird ohne Zeiten wiedergegeben"},
    {" indexes bytes past the end of ", " verweist hinter das Ende von "},
    {" is not of this recording: its manifest names ",
     " geh\u00F6rt nicht zu dieser Aufzeichnung: ihr Manifest nennt "},
    {" are not of this recording: its manifest names ",
     " geh\u00F6ren nicht zu dieser Aufzeichnung: ihr Manifest nennt "},
    {" segment\\(s\\); not replayed", " Abschnitt(e); nicht wiedergegeben"},
    {" was not recorded from (\\S+) to its end", " wurde ab \\1 bis zum Ende nicht aufgezeichnet"},
    {" was not recorded from (\\S+) to (\\S+)", " wurde von \\1 bis \\2 nicht aufgezeichnet"},
    {": line (\\d+) is damaged", ": Zeile \\1 ist besch\u00E4digt"},
    {" is damaged", " ist besch\u00E4digt"},
    {"^No segment \\((\\S+)\\) in ", "Kein Abschnitt (\\1) in "},
    {"^Cannot read (.+?): ", "Nicht lesbar: \\1: "},
    {"^Cannot read (.+)$", "Nicht lesbar: \\1"},
    {"^Cannot open (.+?): ", "Nicht zu \u00F6ffnen: \\1: "},
    {" \\(and (\\d+) more like it\\)", " (und \\1 weitere dieser Art)"},
    {" \\(and (\\d+) more lines\\)", " (und \\1 weitere Zeilen)"},
    {" files \\(", " Dateien ("},
    {" \\(and ", " (und "},
    // The system's reasons.
    {"No such file or directory", "nicht vorhanden"},
    {"Permission denied", "keine Berechtigung"},
    {"Not a directory", "kein Ordner"},
    {"Is a directory", "ist ein Ordner"},
    {"not a regular file", "keine gew\u00F6hnliche Datei"},
    {"No space left on device", "Datentr\u00E4ger voll"},
    {"Disk quota exceeded", "Kontingent des Datentr\u00E4gers ersch\u00F6pft"},
    {"Read-only file system", "schreibgesch\u00FCtztes Dateisystem"},
    {"Input/output error", "Ein-/Ausgabefehler"},
    {"File too large", "Datei zu gro\u00DF"},
    {"File name too long", "Dateiname zu lang"},
};

}  // namespace

QString germanRecordingText(const std::string& english) {
    static const std::vector<std::pair<QRegularExpression, QString>> table = [] {
        std::vector<std::pair<QRegularExpression, QString>> t;
        for (const Phrase& p : Phrases)
            t.emplace_back(QRegularExpression(QString::fromUtf8(p.english)), QString::fromUtf8(p.german));
        return t;
    }();
    QString text = QString::fromLocal8Bit(english.c_str());
    for (const auto& [pattern, german] : table) text.replace(pattern, german);
    return text;
}

}  // namespace zindra::app
