#include "numeric.h"

#include "platform/failure.h"

#include <QRegularExpression>

#include <cmath>
#include <optional>

namespace quillfen {

namespace {

std::optional<double> parseNumber(const QString &text)
{
    static const QRegularExpression number(
        QStringLiteral(R"(^\s*([+-]?(?:\d+\.?\d*|\.\d+)(?:[eE][+-]?\d+)?)\s*$)"));
    const QRegularExpressionMatch match = number.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    bool ok = false;
    const double value = match.captured(1).toDouble(&ok);
    if (!ok && !std::isinf(value))
        return std::nullopt;
    return value;
}

} // namespace

qint16 toInteger16(const QString &text)
{
    const std::optional<double> value = parseNumber(text);
    if (!value)
        throw Failure(failure_no::TypeMismatch);
    // nearbyint rounds half to even in the default rounding mode.
    const double rounded = std::nearbyint(*value);
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        throw Failure(failure_no::Overflow);
    return static_cast<qint16>(rounded);
}

bool toMoveFlag(const QString &text)
{
    const QString word = text.trimmed();
    if (word.compare(QLatin1String("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (word.compare(QLatin1String("False"), Qt::CaseInsensitive) == 0)
        return false;
    const std::optional<double> value = parseNumber(text);
    if (!value)
        throw Failure(failure_no::TypeMismatch);
    return *value != 0.0;
}

} // namespace quillfen
