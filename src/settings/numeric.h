#pragma once

#include <QString>
#include <QtGlobal>

namespace quillfen {

// Decimal text to a signed 16-bit number, rounded half to even. Surrounding blanks, a
// sign, a fraction and an exponent are allowed. Throws Failure 13 for text that is not a
// number (empty text included) and 6 for a number outside the range.
qint16 toInteger16(const QString &text);

// A move flag as a truth value: number text is true when not zero; "True" and "False"
// in any letter case. Anything else throws Failure 13.
bool toMoveFlag(const QString &text);

} // namespace quillfen
