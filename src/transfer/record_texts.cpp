#include "record_texts.h"

#include "file_routines.h"
#include "platform/native_names.h"

#include <QStringBuilder>

#include <algorithm>

namespace quillfen::record_texts {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QChar Tab = QLatin1Char('\t');
const QString ToField = QStringLiteral("\tTo:   ");

bool isControl(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void appendByteEscape(QString &out, unsigned value)
{
    static const char Hex[] = "0123456789ABCDEF";
    out += QLatin1String("\\x");
    out += QLatin1Char(Hex[(value >> 4) & 0xF]);
    out += QLatin1Char(Hex[value & 0xF]);
}

} // namespace

QString actionLabel(bool move)
{
    return move ? QStringLiteral("Move File ") : QStringLiteral("Copy File ");
}

QString escapeName(const QString &text)
{
    const bool plain = std::none_of(text.cbegin(), text.cend(),
        [](QChar c) { return isControl(c.unicode()) || isRawByteChar(c.unicode()) || c == u'\\'; });
    if (plain)
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (isControl(c))
            appendByteEscape(out, c);
        else if (isRawByteChar(c))
            appendByteEscape(out, c - 0xDC00);
        else
            out += ch;
    }
    return out;
}

// Each record is built once at its full length: a run forms two a file.
QString begin(const QString &label, const QString &sourceFolder, const QString &name, const QString &now)
{
    return u"Begin " % label % Tab % now % CrLf % Tab % u"From: " % Tab % escapeName(sourceFolder % name);
}

QString result(const QString &destFolder, const QString &name, const QString &outcome, const QString &now)
{
    return ToField % escapeName(destFolder % name) % CrLf % outcome % Tab % now % CrLf % CrLf;
}

QString shownAlike(const QString &line)
{
    QString shown = line;
    if (shown.startsWith(ToField))
        shown.replace(0, ToField.size(), QStringLiteral("\tTo:\t"));
    return shown;
}

QString skip(const QString &label, const QString &sourceFolder, const QString &name, const QString &now)
{
    return label % u"cancelled" % Tab % now % CrLf % Tab % escapeName(sourceFolder % name) % CrLf
        % u"File skipped due to date restrictions" % CrLf % CrLf;
}

QString outcome(const QString &label, const QString &copyResult, const QString &sourceFolder)
{
    if (copyResult == trueResult())
        return label + QStringLiteral("successful");
    // The only result that carries a name is the missing source folder's.
    const QString shown = copyResult == sourceMissingText(sourceFolder)
        ? sourceMissingText(escapeName(sourceFolder))
        : copyResult;
    return label + QStringLiteral(" failed: ") + shown;
}

} // namespace quillfen::record_texts
