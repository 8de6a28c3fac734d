#include "entry_list.h"

#include "keys.h"
#include "numeric.h"
#include "store.h"

#include "platform/message_boxes.h"

namespace quillfen {

namespace {

const QString GetFilesPlace = QStringLiteral("Get Files");
const QString AddFilesPlace = QStringLiteral("Add Files");

void saveReported(const QString &key, const QString &value)
{
    try {
        store::save(keys::Section::App, key, value);
    } catch (const Failure &failure) {
        reportPlace(failure, AddFilesPlace);
    }
}

} // namespace

void EntryList::append(const QString &file, const QString &path, const QString &dest, const QString &move)
{
    files.append(file);
    paths.append(path);
    dests.append(dest);
    moves.append(move);
}

void EntryList::removeAt(int position)
{
    if (position < 0 || position >= count())
        return;
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

bool sc_GetFiles(EntryList &list)
{
    // When the stored count cannot be read, the length shown before the reload stands.
    int count = list.count();
    bool read = true;
    list = EntryList();
    try {
        count = storedEntryCount();
    } catch (const Failure &failure) {
        reportPlace(failure, GetFilesPlace);
        read = false;
    }
    for (int n = 1; n <= count; ++n) {
        const auto field
            = [n](const char *stem) { return store::get(keys::Section::App, keys::entryKey(stem, n)); };
        list.append(
            field(keys::FileStem), field(keys::PathStem), field(keys::DestStem), field(keys::MoveStem));
    }
    return read;
}

void sc_AddFiles(const EntryList &list)
{
    store::WriteBatch batch;
    const int count = list.count();
    for (int n = 1; n <= count; ++n) {
        const int k = n - 1;
        saveReported(keys::entryKey(keys::FileStem, n), list.files.value(k));
        saveReported(keys::entryKey(keys::PathStem, n), list.paths.value(k));
        saveReported(keys::entryKey(keys::DestStem, n), list.dests.value(k));
        saveReported(keys::entryKey(keys::MoveStem, n), list.moves.value(k));
    }
    saveReported(keys::Files.nameText(), QString::number(count));
    try {
        batch.commit();
    } catch (const Failure &failure) {
        reportPlace(failure, AddFilesPlace);
    }
}

} // namespace quillfen
