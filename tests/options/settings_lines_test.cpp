#include "options/settings_lines.h"

#include <QStringDecoder>

#include <gtest/gtest.h>

#include <random>

namespace quillfen {
void PrintTo(const SettingLine &line, std::ostream *os)
{
    *os << '{' << line.key.toUtf8().toPercentEncoding().constData() << ", "
        << line.value.toUtf8().toPercentEncoding().constData() << '}';
}
} // namespace quillfen

using quillfen::parseSettingLines;
using quillfen::SettingLine;

namespace {

struct ParseCase
{
    const char *name;
    QByteArray bytes;
    QList<SettingLine> expected;

    friend void PrintTo(const ParseCase &c, std::ostream *os) { *os << c.name; }
};

SettingLine line(const QString &key, const QString &value)
{
    return SettingLine {key, value};
}

class ParseSettingLines : public ::testing::TestWithParam<ParseCase>
{
};

TEST_P(ParseSettingLines, YieldsTheKeyLinesInFileOrder)
{
    EXPECT_EQ(parseSettingLines(GetParam().bytes), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, ParseSettingLines,
    ::testing::Values(ParseCase {"EmptyKeyNamesNothing", "\t15\r\n  \t16\r\n", {}},
        ParseCase {
            "OnlyTheFirstTabSplitsAndTabsStay", "sc_File1 \t\ta\tb \t\r\n", {line("sc_File1", "\ta\tb \t")}},
        ParseCase {"LineFeedAloneStaysInTheLine", "Timer\t15\nAutoStart\t1\r\n",
            {line("Timer", "15\nAutoStart\t1")}},
        ParseCase {"ByteOrderMarkInAValueStays", "Timer\t\xEF\xBB\xBF 15",
            {line("Timer", QStringLiteral("\uFEFF 15"))}}),
    [](const ::testing::TestParamInfo<ParseCase> &info) { return std::string(info.param.name); });

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

TEST(ParseSettingLinesRandom, AgreesWithTheRulesOnRandomBytes)
{
    // Bytes that matter to the format come often; the rest stand for any text.
    static const char Alphabet[] = {'\r', '\r', '\n', '\n', '\t', '\t', ' ', ' ', '#', 'a', 'T', '\0', '\xEF',
        '\xBB', '\xBF', '\xC3', '\xB6', '\xFF'};
    std::mt19937 random(20260214);
    std::uniform_int_distribution<int> length(0, 48);
    std::uniform_int_distribution<int> pick(0, sizeof Alphabet - 1);
    for (int round = 0; round < 20000; ++round) {
        QByteArray bytes;
        for (int i = length(random); i > 0; --i)
            bytes.append(Alphabet[pick(random)]);
        const QList<SettingLine> parsed = parseSettingLines(bytes);
        ASSERT_EQ(parsed, modelParse(bytes)) << bytes.toPercentEncoding().constData();
        for (const SettingLine &found : parsed) {
            ASSERT_FALSE(found.key.isEmpty() || found.key.contains(QLatin1Char('\t')));
            for (const QString &text : {found.key, found.value})
                ASSERT_FALSE(text.contains(QLatin1Char('\r')) || text.startsWith(QLatin1Char(' '))
                    || text.endsWith(QLatin1Char(' ')));
        }
    }
}

} // namespace
