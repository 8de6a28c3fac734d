#include "native_names.h"

namespace quillfen {

namespace {

// Length of the valid UTF-8 sequence at `p` (strict: no overlong forms, no surrogates,
// nothing above U+10FFFF), or 0 when the byte there does not start one.
int validSequenceLength(const unsigned char *p, const unsigned char *end)
{
    const unsigned char lead = p[0];
    if (lead < 0x80)
        return 1;
    int length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0)
            low = 0xA0;
        else if (lead == 0xED)
            high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0)
            low = 0x90;
        else if (lead == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (end - p < length)
        return 0;
    if (p[1] < low || p[1] > high)
        return 0;
    for (int k = 2; k < length; ++k) {
        if (p[k] < 0x80 || p[k] > 0xBF)
            return 0;
    }
    return length;
}

} // namespace

bool isAscii(QByteArrayView bytes)
{
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    }
    return true;
}

QString nameFromNative(const QByteArray &bytes)
{
    if (isAscii(bytes))
        return QString::fromLatin1(bytes);
    const auto *p = reinterpret_cast<const unsigned char *>(bytes.constData());
    const unsigned char *end = p + bytes.size();
    QString text;
    text.reserve(bytes.size());
    const unsigned char *runStart = p;
    while (p < end) {
        const int length = validSequenceLength(p, end);
        if (length > 0) {
            p += length;
            continue;
        }
        text += QString::fromUtf8(reinterpret_cast<const char *>(runStart), p - runStart);
        text += QChar(char16_t(0xDC00 + *p));
        ++p;
        runStart = p;
    }
    text += QString::fromUtf8(reinterpret_cast<const char *>(runStart), p - runStart);
    return text;
}

QByteArray nativePath(const QString &path)
{
    bool hasSurrogate = false;
    for (const QChar c : path) {
        if (c.isSurrogate()) {
            hasSurrogate = true;
            break;
        }
    }
    if (!hasSurrogate)
        return path.toUtf8();

    QByteArray bytes;
    bytes.reserve(path.size() * 3);
    qsizetype runStart = 0;
    for (qsizetype k = 0; k < path.size(); ++k) {
        const char16_t c = path.at(k).unicode();
        if (QChar::isHighSurrogate(c) && k + 1 < path.size()
            && QChar::isLowSurrogate(path.at(k + 1).unicode())) {
            ++k;
            continue;
        }
        if (!isRawByteChar(c))
            continue;
        bytes += QStringView(path).mid(runStart, k - runStart).toUtf8();
        bytes += static_cast<char>(c - 0xDC00);
        runStart = k + 1;
    }
    bytes += QStringView(path).mid(runStart).toUtf8();
    return bytes;
}

} // namespace quillfen
