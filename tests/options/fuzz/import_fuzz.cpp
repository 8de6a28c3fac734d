// The settings file parser takes any bytes, and every key line it yields keeps the format's
// promises: no more lines than tabs, a key without tab or CR, no CR in a value, no blank at an end.
#include "options/settings_lines.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QList<quillfen::SettingLine> lines = quillfen::parseSettingLines(bytes);
    const auto blankAtAnEnd
        = [](const QString &text) { return text.startsWith(u' ') || text.endsWith(u' '); };
    if (lines.size() > bytes.count('\t'))
        std::abort();
    for (const quillfen::SettingLine &line : lines) {
        if (line.key.isEmpty() || line.key.contains(u'\t') || line.key.contains(u'\r')
            || line.value.contains(u'\r') || blankAtAnEnd(line.key) || blankAtAnEnd(line.value))
            std::abort();
    }
    return 0;
}
