// Any text converts or fails with 13 (not a number) or 6 (out of range); a number reads back as
// itself and is a move flag too, a move when not zero, as is a number too large for 16 bits.
#include "platform/failure.h"
#include "settings/numeric.h"

#include <cstdint>
#include <cstdlib>
#include <optional>

namespace {

template<typename T>
std::optional<T> convert(T (*conversion)(const QString &), const QString &text, int &failure)
{
    try {
        return conversion(text);
    } catch (const quillfen::Failure &f) {
        failure = f.number();
        return std::nullopt;
    }
}

void check(const QString &text)
{
    int failure = 0, flagFailure = 0, again = 0;
    const std::optional<qint16> number = convert(quillfen::toInteger16, text, failure);
    const std::optional<bool> flag = convert(quillfen::toMoveFlag, text, flagFailure);
    if (!(number || failure == 13 || failure == 6) || !(flag || flagFailure == 13)
        || (number && (convert(quillfen::toInteger16, QString::number(*number), again) != number || !flag))
        || ((failure == 6 || (number && *number != 0)) && !(flag && *flag)))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto *bytes = reinterpret_cast<const char *>(data);
    check(QString::fromUtf8(bytes, qsizetype(size)));
    check(QString::fromLatin1(bytes, qsizetype(size)));
    return 0;
}
