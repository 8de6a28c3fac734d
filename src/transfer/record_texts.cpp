#include "record_texts.h"

#include "file_routines.h"
#include "platform/native_names.h"

#include <QRegularExpression>
#include <QStringBuilder>

#include <algorithm>

namespace quillfen::record_texts {

namespace {

const QString CrLf = QStringLiteral("\r\n");
const QChar Tab = QLatin1Char('\t');
const QString BeginWord = QStringLiteral("Begin ");
const QString FromField = QStringLiteral("\tFrom: \t");
const QString ToField = QStringLiteral("\tTo:   ");
const QString Successful = QStringLiteral("successful");
const QString Failed = QStringLiteral(" failed: ");
const QString Cancelled = QStringLiteral("cancelled");
const QString DateSkipped = QStringLiteral("File skipped due to date restrictions");
const QString NameTakenSkipped = QStringLiteral("File skipped: a file of that name exists");
const QString IdenticalSkipped = QStringLiteral("File skipped: the same file is already there");
// A finished record ends with an empty line, and the log writer ends every record's text.
const QString FinishedEnd = CrLf + CrLf + CrLf;

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
    return BeginWord % label % Tab % now % CrLf % FromField % escapeName(sourceFolder % name);
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
    return label % Cancelled % Tab % now % CrLf % Tab % escapeName(sourceFolder % name) % CrLf % DateSkipped
        % CrLf % CrLf;
}

QString nameTaken(const QString &label, const QString &sourceFolder, const QString &name,
    const QString &destPath, bool identical, const QString &now)
{
    return label % Cancelled % Tab % now % CrLf % Tab % escapeName(sourceFolder % name) % CrLf
        % (identical ? IdenticalSkipped : NameTakenSkipped) % Tab % escapeName(destPath) % CrLf % CrLf;
}

QString outcome(const QString &label, const CopyResult &result, const QString &sourceFolder)
{
    switch (result.kind) {
    case CopyResult::Kind::Done:
        return label + Successful;
    case CopyResult::Kind::SourceFolderMissing:
        return label + Failed + QStringLiteral("The Source location: ") + CrLf + escapeName(sourceFolder)
            + CrLf + QStringLiteral("does not exist. ") + CrLf + CrLf
            + QStringLiteral("Please check your settings.");
    case CopyResult::Kind::Failed:
        break;
    }
    return label + Failed + QStringLiteral("Error Number: ") + QString::number(result.failure->number())
        + QStringLiteral("  Error: ") + result.failure->description();
}

namespace {

// The length of what is whole at the start of `rest`, the text after the log's last finished
// record: begin records whose result never came.
qsizetype wholeRecordsIn(const QByteArray &rest)
{
    const QByteArray begin = BeginWord.toUtf8(), from = CrLf.toUtf8() + FromField.toUtf8();
    const QByteArray starts[]
        = {begin, actionLabel(true).toUtf8(), actionLabel(false).toUtf8(), ToField.toUtf8()};
    qsizetype at = 0;
    while (at < rest.size()) {
        const QByteArray part = rest.mid(at);
        const qsizetype lineEnd = part.indexOf("\r\n");
        const qsizetype end = part.startsWith(begin) && lineEnd > 0 && part.indexOf(from) == lineEnd
            ? part.indexOf("\r\n", lineEnd + 2)
            : -1;
        if (end > 0) {
            at += end + 2;
            continue;
        }
        for (const QByteArray &start : starts) {
            if (part.startsWith(start.left(part.size())))
                return at;
        }
        return rest.size();
    }
    return at;
}

} // namespace

qsizetype wholeLength(const QByteArray &tail)
{
    const QByteArray finished = FinishedEnd.toUtf8();
    const qsizetype last = tail.lastIndexOf(finished);
    if (last < 0)
        return tail.size();
    const qsizetype after = last + finished.size();
    return after + wholeRecordsIn(tail.mid(after));
}

QString recordsPattern()
{
    const auto literal = [](const QString &text) { return QRegularExpression::escape(text); };
    const QString field = QStringLiteral("[^\t\r\n]+");
    const QString label = QStringLiteral("(?:") + literal(actionLabel(false)) + QLatin1Char('|')
        + literal(actionLabel(true)) + QLatin1Char(')');
    const QString begin = literal(BeginWord) + label + literal(Tab) + field + literal(CrLf + FromField)
        + field + literal(CrLf);
    const QString result = literal(ToField) + field + literal(CrLf) + label + QStringLiteral("(?:")
        + literal(Successful) + QLatin1Char('|') + literal(Failed) + field + QLatin1Char(')') + literal(Tab)
        + field + literal(FinishedEnd);
    const QString skip = label + literal(Cancelled + Tab) + field + literal(CrLf + Tab) + field
        + literal(CrLf) + QStringLiteral("(?:") + literal(DateSkipped) + QStringLiteral("|(?:")
        + literal(NameTakenSkipped) + QLatin1Char('|') + literal(IdenticalSkipped) + QLatin1Char(')')
        + literal(Tab) + field + QLatin1Char(')') + literal(FinishedEnd);
    return QStringLiteral("(?:") + begin + QStringLiteral("(?:") + result + QStringLiteral(")?+|") + skip
        + QStringLiteral(")*+");
}

} // namespace quillfen::record_texts
