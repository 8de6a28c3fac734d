#include "settings_lines.h"

#include <QStringDecoder>

#include <algorithm>

namespace quillfen {

namespace {

// Every character stays, a U+FEFF at the start of a piece included.
QString decoded(QByteArrayView bytes)
{
    QStringDecoder decoder(
        QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder.decode(bytes);
}

// Only blanks go: a tab inside or around a value is part of it.
QString withoutBlanks(QByteArrayView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text[begin] == ' ')
        ++begin;
    while (end > begin && text[end - 1] == ' ')
        --end;
    return decoded(text.sliced(begin, end - begin));
}

void takeLine(QByteArrayView line, QList<SettingLine> &lines)
{
    if (line.isEmpty() || line.front() == '#')
        return;
    const auto tab = std::find(line.begin(), line.end(), '\t');
    if (tab == line.end())
        return;
    const qsizetype cut = tab - line.begin();
    QString key = withoutBlanks(line.first(cut));
    if (key.isEmpty())
        return;
    lines.append(SettingLine {std::move(key), withoutBlanks(line.sliced(cut + 1))});
}

} // namespace

QList<SettingLine> parseSettingLines(QByteArrayView bytes)
{
    // An editor may have put a byte-order mark in front of the first key.
    static constexpr QByteArrayView ByteOrderMark("\xEF\xBB\xBF");
    if (bytes.startsWith(ByteOrderMark))
        bytes = bytes.sliced(ByteOrderMark.size());

    QList<SettingLine> lines;
    qsizetype start = 0;
    while (start < bytes.size()) {
        const auto cr = std::find(bytes.begin() + start, bytes.end(), '\r');
        const qsizetype end = cr - bytes.begin();
        takeLine(bytes.sliced(start, end - start), lines);
        start = end + 1;
        if (start < bytes.size() && bytes[start] == '\n')
            ++start;
    }
    return lines;
}

} // namespace quillfen
