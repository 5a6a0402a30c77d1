#include "ui/uitext.h"

#include <QStringDecoder>

namespace veltrane {

namespace {

// The characters Windows-1252 puts where Latin-1 has control codes; 0 marks the five unused places.
constexpr char16_t Cp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                     0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                     0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                     0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

QString fromWindows1252(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x80 && b < 0xA0 && Cp1252High[b - 0x80] != 0)
            text += QChar(Cp1252High[b - 0x80]);
        else
            text += QChar(static_cast<char16_t>(b));
    }
    return text;
}

} // namespace

QString shownText(std::string_view bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    if (!utf8.hasError())
        return text;
    return fromWindows1252(bytes);
}

std::string typedText(const QString& text) {
    return text.toStdString();
}

} // namespace veltrane
