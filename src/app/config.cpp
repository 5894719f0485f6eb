#include "app/config.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <algorithm>
#include <optional>

#include "app/cp1252.h"

namespace zindra::app {
namespace {

// The file as lines, read the way the profile functions read it: "[Section]"
// starts a section, "key=value" is a key (names compared without regard to
// case, spaces around them ignored), anything else (comments, junk) is kept
// as it is and carries no meaning.
struct IniText {
    QStringList lines;
    QString lineEnd = QStringLiteral("\r\n");  // as the file has them
    bool endsWithLineEnd = true;
};

IniText readIni(const QString& path) {
    IniText ini;
#ifndef _WIN32
    ini.lineEnd = QStringLiteral("\n");  // for a new file
#endif
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return ini;
    // Latin-1 keeps every byte as it was, whatever the file's encoding.
    const QString text = QString::fromLatin1(f.readAll());
    if (text.isEmpty()) return ini;
    const qsizetype firstLf = text.indexOf(QLatin1Char('\n'));
    if (firstLf >= 0) {
        const bool crlf = firstLf > 0 && text[firstLf - 1] == QLatin1Char('\r');
        ini.lineEnd = crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    }
    ini.endsWithLineEnd = text.endsWith(QLatin1Char('\n'));
    QString normalised = text;
    normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    ini.lines = normalised.split(QLatin1Char('\n'));
    if (ini.endsWithLineEnd) ini.lines.removeLast();
    return ini;
}

std::optional<QString> sectionName(const QString& line) {
    const QString t = line.trimmed();
    if (!t.startsWith(QLatin1Char('[')) || !t.endsWith(QLatin1Char(']'))) return std::nullopt;
    return t.mid(1, t.size() - 2).trimmed();
}

// The key of a "key=value" line; empty for any other line.
QString keyName(const QString& line) {
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0) return {};
    const QString t = line.trimmed();
    if (t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'))) return {};
    return line.left(eq).trimmed();
}

bool same(const QString& a, const char* b) { return a.compare(QLatin1String(b), Qt::CaseInsensitive) == 0; }

// The line index of section/key, or -1; with it the end of that section (the
// index after its last non-empty line; -1 when the section is missing).
struct Place {
    qsizetype key = -1;
    qsizetype sectionEnd = -1;
};

Place find(const QStringList& lines, const char* section, const char* key) {
    Place p;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (const auto name = sectionName(lines[i])) {
            // The first section of that name counts, as for the profile functions.
            if (inSection) return p;
            inSection = p.sectionEnd < 0 && same(*name, section);
            if (inSection) p.sectionEnd = i + 1;
            continue;
        }
        if (!inSection) continue;
        if (!lines[i].trimmed().isEmpty()) p.sectionEnd = i + 1;
        if (p.key < 0 && same(keyName(lines[i]), key)) p.key = i;
    }
    return p;
}

// The value of a "key=value" line; a value in quotes is the text between them.
QString lineValue(const QString& line) {
    QString v = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
    if (v.size() >= 2 && v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"')))
        v = v.mid(1, v.size() - 2);
    return v;
}

std::optional<QString> value(const QStringList& lines, const char* section, const char* key) {
    const Place p = find(lines, section, key);
    if (p.key < 0) return std::nullopt;
    return lineValue(lines[p.key]);
}

// Replaces the key's line, or adds it at the end of its section, or adds the
// section at the end of the file.
void setValue(QStringList& lines, const char* section, const char* key, const QString& v) {
    const QString line = QLatin1String(key) + QLatin1Char('=') + v;
    const Place p = find(lines, section, key);
    if (p.key >= 0) {
        lines[p.key] = line;
    } else if (p.sectionEnd >= 0) {
        lines.insert(p.sectionEnd, line);
    } else {
        lines << QLatin1Char('[') + QLatin1String(section) + QLatin1Char(']') << line;
    }
}

// Where a section's lines are: its heading and the index after its last
// line; none when the file has no such section.
std::optional<std::pair<qsizetype, qsizetype>> sectionRange(const QStringList& lines, const char* section) {
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const auto name = sectionName(lines[i]);
        if (!name || !same(*name, section)) continue;
        qsizetype end = i + 1;
        while (end < lines.size() && !sectionName(lines[end])) ++end;
        return std::make_pair(i, end);
    }
    return std::nullopt;
}

bool writeIni(const QString& path, const IniText& ini) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString text = ini.lines.join(ini.lineEnd);
    if (ini.endsWithLineEnd) text += ini.lineEnd;
    // Written beside the old file and put in its place only when complete.
    QSaveFile out(path);
    // A file the user may write in a folder he may not still gets written.
    out.setDirectWriteFallback(true);
    if (!out.open(QIODevice::WriteOnly)) return false;
    out.write(text.toLatin1());
    return out.commit();
}

// A line's value as text: UTF-8 where its bytes are that, else Windows-1252.
QString decodedValue(const QString& line) {
    const QByteArray bytes = lineValue(line).toLatin1();
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString v = utf8(bytes);
    if (utf8.hasError()) v = fromCp1252(bytes.toStdString());
    return v;
}

bool isAscii(const QString& latin1) {
    return std::all_of(latin1.begin(), latin1.end(), [](QChar c) { return c.unicode() < 0x80; });
}

// A file whose lines beyond ASCII are all UTF-8 (as an editor saves it) is
// written on in UTF-8; any other in Windows-1252, as the program writes.
bool writtenInUtf8(const QStringList& lines) {
    bool any = false;
    for (const QString& line : lines) {
        if (isAscii(line)) continue;
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        [[maybe_unused]] const QString decoded = utf8(line.toLatin1());
        if (utf8.hasError()) return false;
        any = true;
    }
    return any;
}

// A value's bytes, as Latin-1 characters (the way readIni holds the file):
// Windows-1252 unless the file is UTF-8 or the text has characters
// Windows-1252 lacks (a Greek Omega), which only UTF-8 keeps.
QString encodedValue(const QString& value, bool utf8File) {
    const std::string cp1252 = toCp1252(value);
    if (!utf8File && fromCp1252(cp1252) == value) return QString::fromLatin1(cp1252);
    return QString::fromLatin1(value.toUtf8());
}

int sizeValue(const QStringList& lines, const char* key, int fallback, int max) {
    const std::optional<QString> v = value(lines, "DeskTop", key);
    if (!v) return fallback;
    bool ok = false;
    const int n = v->toInt(&ok);
    if (!ok || n <= 0 || n > max) return fallback;
    return n;
}

}  // namespace

QString configFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation) +
           QStringLiteral("/ZINDRA.INI");
}

Config loadConfig(const QString& path, QSize maxSize) {
    Config c;
    const QStringList lines = readIni(path).lines;
    if (const std::optional<QString> device = value(lines, "Port", "Nummer")) {
        c.deviceName = device->toLatin1().toStdString();
    }
    c.height = sizeValue(lines, "Height", Config::DefaultHeight, maxSize.height());
    c.width = sizeValue(lines, "Width", Config::DefaultWidth, maxSize.width());
    return c;
}

bool saveConfig(const QString& path, const Config& config) {
    IniText ini = readIni(path);
    const QStringList before = ini.lines;
    setValue(ini.lines, "DeskTop", "Height", QString::number(config.height));
    setValue(ini.lines, "DeskTop", "Width", QString::number(config.width));
    setValue(ini.lines, "Port", "Nummer", QString::fromLatin1(config.deviceName));
    if (ini.lines == before && QFileInfo::exists(path)) return true;  // nothing to write
    return writeIni(path, ini);
}

IniPairs loadSection(const QString& path, const char* section) {
    IniPairs pairs;
    const QStringList lines = readIni(path).lines;
    const auto range = sectionRange(lines, section);
    if (!range) return pairs;
    for (qsizetype i = range->first + 1; i < range->second; ++i) {
        const QString key = keyName(lines[i]);
        if (key.isEmpty()) continue;
        // A file saved by an editor as UTF-8 reads as that; else its bytes
        // are Windows-1252, as the program writes them.
        pairs.emplace_back(key, decodedValue(lines[i]));
    }
    return pairs;
}

bool saveSection(const QString& path, const char* section, const IniPairs& pairs) {
    IniText ini = readIni(path);
    const QStringList before = ini.lines;
    const bool utf8 = writtenInUtf8(ini.lines);
    const auto range = sectionRange(ini.lines, section);
    QStringList keys;
    for (const auto& [key, value] : pairs) {
        // A key whose value stays keeps its line exactly as the file has it.
        QString line = key + QLatin1Char('=') + encodedValue(value, utf8);
        for (qsizetype i = range ? range->first + 1 : 0; range && i < range->second; ++i) {
            if (keyName(ini.lines[i]) == key && decodedValue(ini.lines[i]) == value) {
                line = ini.lines[i];
                break;
            }
        }
        keys << line;
    }
    if (range) {
        // Comments stay; the keys follow them, before blank lines at the end.
        QStringList body;
        for (qsizetype i = range->first + 1; i < range->second; ++i) {
            if (keyName(ini.lines[i]).isEmpty()) body << ini.lines[i];
        }
        qsizetype tail = body.size();
        while (tail > 0 && body[tail - 1].trimmed().isEmpty()) --tail;
        for (qsizetype k = 0; k < keys.size(); ++k) body.insert(tail + k, keys[k]);
        ini.lines = ini.lines.mid(0, range->first + 1) + body + ini.lines.mid(range->second);
    } else {
        ini.lines << QLatin1Char('[') + QLatin1String(section) + QLatin1Char(']') << keys;
    }
    if (ini.lines == before && QFileInfo::exists(path)) return true;  // nothing to write
    return writeIni(path, ini);
}

}  // namespace zindra::app
