#include "settings/entry_list.h"
#include "settings/store.h"
#include "support/test_support.h"

namespace quillfen::test {

EntryList numbered(std::initializer_list<int> numbers)
{
    EntryList list;
    for (const int n : numbers)
        list.append(q("File%1").arg(n), q("Path%1").arg(n), q("Dest%1").arg(n), q("Move%1").arg(n));
    return list;
}

TEST(EntryList, KeepsEntriesUpToTheStoredCount)
{
    TempStore temp;
    sc_AddFiles(numbered({1, 2, 3, 4, 5, 6, 7, 8, 9, 10}));
    for (const char *field : {"File", "Path", "Dest", "Move"})
        EXPECT_EQ(temp.value("sc_" + q(field) + "10"), q(field) + "10");

    temp.set(keys::Files, q("3"));
    store::remove(keys::Section::App, q("sc_Path2"));
    EntryList list = numbered({7});
    sc_GetFiles(list);
    EXPECT_EQ(list.count(), 3) << "a reload replaces the list";

    list.removeAt(0);
    sc_AddFiles(list);
    // Entry 1 is the former entry 2, with the field its missing key gave; a longer list's keys stay.
    const char *stored[][2] = {{"sc_Files", "2"}, {"sc_File1", "File2"}, {"sc_Path1", ""},
        {"sc_Dest1", "Dest2"}, {"sc_Move1", "Move2"}, {"sc_File3", "File3"}, {"sc_Move10", "Move10"}};
    for (const auto &[key, value] : stored)
        EXPECT_EQ(temp.value(q(key)), q(value)) << key;
}

} // namespace quillfen::test
