#include "settings_file.h"

#include "settings_lines.h"

#include "dialogs/message_shown.h"
#include "platform/app_info.h"
#include "platform/host.h"
#include "platform/raw_file.h"
#include "settings/entry_list.h"
#include "settings/keys.h"
#include "settings/store.h"
#include "transfer/file_routines.h"
#include "transfer/transfer_log.h"

namespace quillfen {

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString keyLine(const QString &key)
{
    return key + QLatin1Char('\t') + store::get(keys::Section::App, key);
}

// The store names keys within a section by plain names: a "/" would file the value
// under another name.
bool storable(const QString &key)
{
    return !key.contains(QLatin1Char('/'));
}

// The commented box with the created line, the general keys, the entry keys; CR LF, UTF-8.
QByteArray settingsFileText(const QString &createdLine)
{
    QStringList general;
    for (const keys::Key &key : keys::General)
        general.append(keyLine(key.nameText()));

    // A count that cannot be read exports no entries rather than failing the export.
    QStringList entries;
    const int count = storedEntryCountOrZero();
    for (int n = 1; n <= count; ++n) {
        for (const char *stem : keys::EntryStems)
            entries.append(keyLine(keys::entryKey(stem, n)));
        // Choices left at the default have no key, and no line: such a list exports as ever.
        for (const char *stem : keys::ChoiceStems) {
            if (store::contains(keys::Section::App, keys::entryKey(stem, n)))
                entries.append(keyLine(keys::entryKey(stem, n)));
        }
    }

    const QStringList lines = {headerRule(), headerCreatedBy(), headerRule(), createdLine, headerRule(),
        general.join(CrLf), entries.join(CrLf), headerRule()};
    return (lines.join(CrLf) + CrLf).toUtf8();
}

} // namespace

QString settingsFilePath()
{
    return host::applicationFolder() + host::separator() + app_info::title() + QStringLiteral(".txt");
}

void sc_ExportSettings()
{
    const QString path = settingsFilePath();
    const QString created = headerCreatedLine(host::nowText(), sc_ComputerName());
    try {
        raw_file::replaceWhole(path, settingsFileText(created));
    } catch (const Failure &failure) {
        showMessage(messages::settingsFileFailed(true, path, failure));
        return;
    }
    showMessage(messages::settingsExported(path));
}

void sc_ImportSettings()
{
    if (!confirm(messages::importQuestion()))
        return;
    const QString path = settingsFilePath();
    QByteArray bytes;
    try {
        bytes = raw_file::readPlainFile(path);
    } catch (const Failure &failure) {
        showMessage(messages::settingsFileFailed(false, path, failure));
        return;
    }

    store::WriteBatch batch;
    for (const SettingLine &line : parseSettingLines(bytes)) {
        if (storable(line.key))
            store::save(keys::Section::App, line.key, line.value);
    }
    try {
        batch.commit();
    } catch (const Failure &failure) {
        reportPlace(failure, QStringLiteral("Import"));
    }
}

} // namespace quillfen
