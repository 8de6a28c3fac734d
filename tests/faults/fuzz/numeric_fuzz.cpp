// The numeric conversion of stored text under libFuzzer: any text either converts or fails
// with 13 (not a number) or 6 (out of range), and what converts agrees with itself.

#include "platform/failure.h"
#include "settings/numeric.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

std::optional<qint16> asInteger(const QString &text, int *failure)
{
    try {
        return quillfen::toInteger16(text);
    } catch (const quillfen::Failure &f) {
        *failure = f.number();
        return std::nullopt;
    }
}

std::optional<bool> asMoveFlag(const QString &text, int *failure)
{
    try {
        return quillfen::toMoveFlag(text);
    } catch (const quillfen::Failure &f) {
        *failure = f.number();
        return std::nullopt;
    }
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void checkText(const QString &text)
{
    int integerFailure = 0;
    int flagFailure = 0;
    const std::optional<qint16> integer = asInteger(text, &integerFailure);
    const std::optional<bool> flag = asMoveFlag(text, &flagFailure);

    check(integer || integerFailure == 13 || integerFailure == 6);
    check(flag || flagFailure == 13);
    if (integer) {
        // Written back as plain decimal, the number reads as itself.
        int again = 0;
        check(asInteger(QString::number(*integer), &again) == integer);
        // Every number is a move flag too; one that rounds to non-zero is a move.
        check(flag.has_value());
        if (*integer != 0)
            check(*flag);
    }
    // A number too large for 16 bits is still a number.
    if (integerFailure == 6)
        check(flag.has_value() && *flag);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto *bytes = reinterpret_cast<const char *>(data);
    checkText(QString::fromUtf8(bytes, qsizetype(size)));
    checkText(QString::fromLatin1(bytes, qsizetype(size)));
    return 0;
}
