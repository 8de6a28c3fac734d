#include "entry_list.h"

#include "keys.h"
#include "numeric.h"
#include "store.h"

namespace quillfen {

namespace {

const QString GetFilesPlace = QStringLiteral("Get Files");
const QString AddFilesPlace = QStringLiteral("Add Files");

// A default choice leaves no key behind, so that a list without choices is stored as ever and an
// earlier choice of the same number does not come back.
void saveChoice(const char *stem, int n, const QString &value)
{
    const QString key = keys::entryKey(stem, n);
    if (!value.isEmpty() && value != QLatin1String(keys::ChoiceDefault))
        store::save(keys::Section::App, key, value);
    else if (store::contains(keys::Section::App, key))
        store::remove(keys::Section::App, key);
}

} // namespace

int toChoice(const QString &text, int count)
{
    if (text.isEmpty())
        return 0;
    const int choice = toInteger16(text);
    if (choice < 0 || choice >= count)
        throw Failure(failure_no::InvalidArgument);
    return choice;
}

QString choiceText(int choice)
{
    return choice == 0 ? QString() : QString::number(choice);
}

void EntryList::append(const QString &file, const QString &path, const QString &dest, const QString &move,
    const QString &conflict, const QString &dated)
{
    files.append(file);
    paths.append(path);
    dests.append(dest);
    moves.append(move);
    conflicts.append(conflict);
    dateFolders.append(dated);
}

void EntryList::removeAt(int position)
{
    if (position < 0 || position >= count())
        return;
    dateFolders.removeAt(position);
    conflicts.removeAt(position);
    moves.removeAt(position);
    dests.removeAt(position);
    paths.removeAt(position);
    files.removeAt(position);
}

int storedEntryCount()
{
    const int count = toInteger16(store::get(keys::Files));
    if (count < 0)
        throw Failure(failure_no::InvalidArgument);
    return count;
}

int storedEntryCountOrZero()
{
    try {
        return storedEntryCount();
    } catch (const Failure &) {
        return 0;
    }
}

QList<Report> sc_GetFiles(EntryList &list)
{
    // When the stored count cannot be read, the length shown before the reload stands.
    int count = list.count();
    QList<Report> reports;
    list = EntryList();
    try {
        count = storedEntryCount();
    } catch (const Failure &failure) {
        reports.append(Report::place(failure, GetFilesPlace));
    }
    for (int n = 1; n <= count; ++n) {
        const auto field
            = [n](const char *stem) { return store::get(keys::Section::App, keys::entryKey(stem, n)); };
        list.append(field(keys::FileStem), field(keys::PathStem), field(keys::DestStem),
            field(keys::MoveStem), field(keys::ConflictStem), field(keys::DateFoldersStem));
    }
    return reports;
}

QList<Report> sc_AddFiles(const EntryList &list)
{
    // Every key goes into one write of the store, so a refused write is reported once, at the end.
    store::WriteBatch batch;
    const int count = list.count();
    const QList<const QStringList *> fields = {&list.files, &list.paths, &list.dests, &list.moves};
    for (int n = 1; n <= count; ++n) {
        for (int f = 0; f < 4; ++f)
            store::save(
                keys::Section::App, keys::entryKey(keys::EntryStems[size_t(f)], n), fields[f]->value(n - 1));
        saveChoice(keys::ConflictStem, n, list.conflicts.value(n - 1));
        saveChoice(keys::DateFoldersStem, n, list.dateFolders.value(n - 1));
    }
    store::save(keys::Files, QString::number(count));
    try {
        batch.commit();
    } catch (const Failure &failure) {
        return {Report::place(failure, AddFilesPlace)};
    }
    return {};
}

} // namespace quillfen
