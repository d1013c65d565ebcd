#include "gbk_text.h"

#include "gbk.h"

namespace ui {

QString fromGbk(std::string_view gbk) {
    // Pure ASCII (numbers, dates, most remarks' digits) needs no conversion.
    bool ascii = true;
    for (char c : gbk) {
        if (static_cast<unsigned char>(c) >= 0x80 || c == '\0') {
            ascii = false;
            break;
        }
    }
    if (ascii) return QString::fromLatin1(gbk.data(), static_cast<qsizetype>(gbk.size()));
    const std::string utf8 = convert::gbkToUtf8(gbk);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::optional<std::string> toGbk(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    return convert::utf8ToGbk(
        std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace ui
