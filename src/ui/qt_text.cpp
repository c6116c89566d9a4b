#include "ui/qt_text.h"

#include "decode/cp1252.h"

namespace varno::ui {

QString fromCp1252(std::string_view bytes)
{
    QString text(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
    QChar* out = text.data();
    for (std::size_t i = 0; i < bytes.size(); ++i)
        out[i] = QChar(decode::cp1252ToUnicode(static_cast<unsigned char>(bytes[i])));
    return text;
}

std::string toCp1252(const QString& text)
{
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text)
        bytes.push_back(static_cast<char>(decode::unicodeToCp1252(c.unicode())));
    return bytes;
}

}  // namespace varno::ui
