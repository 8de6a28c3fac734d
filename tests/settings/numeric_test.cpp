#include "settings/numeric.h"
#include "support/test_support.h"

namespace quillfen::test {

TEST(Numeric, ConvertsStoredText)
{
    const struct
    {
        const char *text;
        int number, failure; // toInteger16's
        int flag; // toMoveFlag's answer (0, 1) or failure (13)
    } rows[] = {{" +7 ", 7, 0, 1}, {"2.5", 2, 0, 1}, {"-3.5", -4, 0, 1}, {".5", 0, 0, 1}, {"1e3", 1000, 0, 1},
        {"32767", 32767, 0, 1}, {"-32768.5", -32768, 0, 1}, {"32767.5", 0, 6, 1}, {"-32769", 0, 6, 1},
        {"1e999", 0, 6, 1}, {"0.0", 0, 0, 0}, {"", 0, 13, 13}, {"1 2", 0, 13, 13}, {"1e", 0, 13, 13},
        {" tRUE", 0, 13, 1}, {"FALSE ", 0, 13, 0}, {"yes", 0, 13, 13}};
    for (const auto &[text, number, failure, flag] : rows) {
        SCOPED_TRACE(text);
        qint16 converted = 0;
        EXPECT_EQ(failureOf([&] { converted = toInteger16(QString::fromUtf8(text)); }), failure);
        EXPECT_EQ(converted, number);
        bool asFlag = false;
        const int flagFailure = failureOf([&] { asFlag = toMoveFlag(QString::fromUtf8(text)); });
        EXPECT_EQ(flagFailure, flag == 13 ? 13 : 0);
        EXPECT_EQ(int(asFlag), flag == 1);
    }
}

} // namespace quillfen::test
