#include "entry_list.h"

#include "keys.h"
#include "numeric.h"
#include "store.h"

#include "platform/message_boxes.h"

namespace quillfen {

namespace {

const QString GetFilesPlace = QStringLiteral("Get Files");
const QString AddFilesPlace = QStringLiteral("Add Files");

QString section()
{
    return QString::fromLatin1(keys::AppSettings);
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

void sc_GetFiles(EntryList &list)
{
    // When the stored count cannot be read, the length shown before the reload stands.
    int count = list.count();
    list.files.clear();
    list.paths.clear();
    list.dests.clear();
    list.moves.clear();
    try {
        count = toInteger16(store::get(section(), QLatin1String(keys::Files), 0));
    } catch (const Failure &failure) {
        reportPlace(failure, GetFilesPlace);
    }
    list.files.reserve(count);
    list.paths.reserve(count);
    list.dests.reserve(count);
    list.moves.reserve(count);
    for (int n = 1; n <= count; ++n) {
        list.append(store::get(section(), keys::entryKey(keys::FileStem, n)),
            store::get(section(), keys::entryKey(keys::PathStem, n)),
            store::get(section(), keys::entryKey(keys::DestStem, n)),
            store::get(section(), keys::entryKey(keys::MoveStem, n)));
    }
}

void sc_AddFiles(const EntryList &list)
{
    store::WriteBatch batch;
    const int count = list.count();
    auto saveReported = [](const QString &key, const QString &value) {
        try {
            store::save(section(), key, value);
        } catch (const Failure &failure) {
            reportPlace(failure, AddFilesPlace);
        }
    };
    for (int n = 1; n <= count; ++n) {
        const int k = n - 1;
        saveReported(keys::entryKey(keys::FileStem, n), list.files.value(k));
        saveReported(keys::entryKey(keys::PathStem, n), list.paths.value(k));
        saveReported(keys::entryKey(keys::DestStem, n), list.dests.value(k));
        saveReported(keys::entryKey(keys::MoveStem, n), list.moves.value(k));
    }
    saveReported(QLatin1String(keys::Files), QString::number(count));
    try {
        batch.commit();
    } catch (const Failure &failure) {
        reportPlace(failure, AddFilesPlace);
    }
}

} // namespace quillfen
