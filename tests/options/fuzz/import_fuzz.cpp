// libFuzzer target: the settings file parser takes any bytes without crashing, and every
// key line it yields keeps the file format's promises.
#include "options/settings_lines.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool blankAtAnEnd(const QString &text)
{
    return text.startsWith(QLatin1Char(' ')) || text.endsWith(QLatin1Char(' '));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QList<quillfen::SettingLine> lines = quillfen::parseSettingLines(bytes);
    if (lines.size() > bytes.count('\t'))
        std::abort();
    for (const quillfen::SettingLine &line : lines) {
        if (line.key.isEmpty() || line.key.contains(QLatin1Char('\t')) || line.key.contains(QLatin1Char('\r'))
            || line.value.contains(QLatin1Char('\r')) || blankAtAnEnd(line.key) || blankAtAnEnd(line.value))
            std::abort();
    }
    return 0;
}
