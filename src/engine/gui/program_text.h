#pragma once
// Program text (Windows-1250) to and from the strings Qt shows.

#include "spreadsheet/text_codec.h"

#include <QString>

#include <string>
#include <string_view>

namespace zbir::workbook {

inline QString qtText(std::string_view programText)
{
    if (text::isAscii(programText))
        return QString::fromLatin1(programText.data(), static_cast<qsizetype>(programText.size()));
    const std::string utf8 = text::toUtf8(programText);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// Characters Windows-1250 has no byte for become '?'.
inline std::string programText(const QString& s)
{
    const QByteArray utf8 = s.toUtf8();
    return text::fromUtf8(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

}  // namespace zbir::workbook
