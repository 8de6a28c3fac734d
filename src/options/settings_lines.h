#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace quillfen {

// One key line of the settings file: the key and its value.
struct SettingLine
{
    QString key;
    QString value;

    friend bool operator==(const SettingLine &, const SettingLine &) = default;
};

// The key lines of a settings file's bytes (UTF-8), in file order. A line ends at CR LF or
// at a CR alone; a line feed alone belongs to the line. A line that starts with "#" is a
// comment, and one without a tab or with an empty key names nothing. Key and value are the
// texts before and after the first tab, without leading and trailing blanks (tabs stay).
QList<SettingLine> parseSettingLines(QByteArrayView bytes);

} // namespace quillfen
