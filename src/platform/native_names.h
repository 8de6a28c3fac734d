#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace quillfen {

// File names on Linux are bytes, not text. Names that are valid UTF-8 become ordinary
// text; every byte that is not part of valid UTF-8 becomes the lone surrogate U+DC80 +
// (byte - 0x80), so that any name read from a folder turns back into the same bytes.
QString nameFromNative(const QByteArray &bytes);
QByteArray nativePath(const QString &path);

bool isAscii(QByteArrayView bytes);

// True for the characters that stand for such a byte.
inline bool isRawByteChar(char16_t c)
{
    return c >= 0xDC80 && c <= 0xDCFF;
}

} // namespace quillfen
