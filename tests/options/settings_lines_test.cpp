#include "options/settings_lines.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

#include <random>

using quillfen::parseSettingLines;
using quillfen::SettingLine;

namespace {

TEST(ParseSettingLines, YieldsTheKeyLinesInFileOrder)
{
    const std::pair<QByteArray, QList<SettingLine>> rows[] = {
        {"\t15\r\n  \t16\r\n", {}}, // no key, no line
        {"sc_File1 \t\ta\tb \t\r\n", {{"sc_File1", "\ta\tb \t"}}}, // only the first tab splits
        {"Timer\t15\nAutoStart\t1\r\n", {{"Timer", "15\nAutoStart\t1"}}}, // a line feed alone ends no line
        {"Timer\t\xEF\xBB\xBF 15",
            {{"Timer", QStringLiteral("\uFEFF 15")}}}, // a byte order mark inside a value stays
    };
    for (const auto &[bytes, expected] : rows)
        EXPECT_EQ(parseSettingLines(bytes), expected) << bytes.toPercentEncoding().constData();
}

// The same rules put another way: lines lie between CRs once every CR LF is a lone CR.
QList<SettingLine> modelParse(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    bytes.replace("\r\n", "\r");
    auto blankTrimmed = [](QByteArray part) {
        while (part.startsWith(' '))
            part.remove(0, 1);
        while (part.endsWith(' '))
            part.chop(1);
        QStringDecoder decoder(
            QStringDecoder::Utf8, QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        return QString(decoder.decode(part));
    };
    QList<SettingLine> result;
    for (const QByteArray &text : bytes.split('\r')) {
        const qsizetype tab = text.indexOf('\t');
        const QString key = blankTrimmed(text.left(tab));
        if (!text.startsWith('#') && tab >= 0 && !key.isEmpty())
            result.append(SettingLine {key, blankTrimmed(text.mid(tab + 1))});
    }
    return result;
}

TEST(ParseSettingLines, AgreesWithTheRulesOnRandomBytes)
{
    // Bytes that matter to the format come often; the rest stand for any text.
    static const char Alphabet[] = {'\r', '\r', '\n', '\n', '\t', '\t', ' ', ' ', '#', 'a', 'T', '\0', '\xEF',
        '\xBB', '\xBF', '\xC3', '\xB6', '\xFF'};
    std::mt19937 random(20260214);
    std::uniform_int_distribution<int> length(0, 48), pick(0, sizeof Alphabet - 1);
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes;
        for (int i = length(random); i > 0; --i)
            bytes.append(Alphabet[pick(random)]);
        ASSERT_EQ(parseSettingLines(bytes), modelParse(bytes)) << bytes.toPercentEncoding().constData();
    }
}

} // namespace
