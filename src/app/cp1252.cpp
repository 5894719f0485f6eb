#include "app/cp1252.h"

#include <array>

namespace zindra::app {
namespace {

// 0x80-0x9F.  The five bytes Windows-1252 leaves unassigned keep their C1
// code points, so every byte survives the round trip.
constexpr std::array<char16_t, 32> High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

constexpr char16_t PictureBase = 0x2400;  // U+2400 SYMBOL FOR NULL
constexpr char16_t PictureDel = 0x2421;   // U+2421 SYMBOL FOR DELETE

}  // namespace

QString fromCp1252(std::string_view bytes, Controls controls) {
    QString s(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = s.data();
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        char16_t u = b;
        if (b >= 0x80 && b <= 0x9F) {
            u = High[b - 0x80];
        } else if (controls == Controls::Pictures) {
            if (b < 0x20)
                u = static_cast<char16_t>(PictureBase + b);
            else if (b == 0x7F)
                u = PictureDel;
        }
        *out++ = QChar(u);
    }
    return s;
}

std::string toCp1252(const QString& text) {
    std::string s;
    s.reserve(static_cast<std::size_t>(text.size()));
    for (const QChar qc : text) {
        const char16_t u = qc.unicode();
        unsigned char b = '?';
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            b = static_cast<unsigned char>(u);
        } else if (u >= PictureBase && u < PictureBase + 0x20) {
            b = static_cast<unsigned char>(u - PictureBase);
        } else if (u == PictureDel) {
            b = 0x7F;
        } else {
            for (std::size_t i = 0; i < High.size(); ++i) {
                if (High[i] == u) {
                    b = static_cast<unsigned char>(0x80 + i);
                    break;
                }
            }
        }
        s.push_back(static_cast<char>(b));
    }
    return s;
}

}  // namespace zindra::app
