#include "settings/options_values.h"
#include "support/test_support.h"

namespace quillfen::test {

TEST(OptionsValues, CloseWritesWhatLoadShowed)
{
    // What an empty store shows, as close writes it.
    const std::pair<const char *, const char *> shown[]
        = {{"Timer", "10"}, {"AutoStart", "0"}, {"sc_DefaultFileExt", "*.txt"}, {"sc_CompareInterval", "1"},
            {"sc_CompareIntType", "h"}, {"KeepReplacedInTrash", "1"}, {"sc_Files", "0"}};
    const struct
    {
        const char *key, *stored, *closed; // one key stored, and what close writes for it
        const char *report; // the failure and place of the step that failed
    } rows[] = {{"", "", "", nullptr}, {"Timer", " 7.5 ", "8", nullptr}, {"AutoStart", "1", "1", nullptr},
        {"sc_CompareInterval", "010", "010", nullptr}, {"KeepReplacedInTrash", "0", "0", nullptr},
        {"Timer", "abc", "", "Type mismatch (13) on Options form load"},
        {"AutoStart", "2", "0", "Invalid property value (380) on Options form load"},
        {"sc_Files", "99999", "99999", "Overflow (6) on Get Files"},
        {"sc_Files", "0x1", "0x1", "Type mismatch (13) on Get Files"},
        {"sc_Files", "-3", "-3", "Invalid procedure call or argument (5) on Get Files"}};
    for (const auto &[key, stored, closed, report] : rows) {
        SCOPED_TRACE(std::string(key) + "=" + stored);
        TempStore temp;
        temp.set(q("sc_File1"), q("kept"));
        if (*key)
            temp.set(q(key), q(stored));
        OptionsValues values;
        QList<Report> reports = values.load();
        reports += values.close();
        QStringList reported;
        for (const Report &failed : reports)
            reported << QString::fromUtf8(failed.failure.what()) + " on " + failed.where;
        EXPECT_EQ(reported, report ? QStringList {q(report)} : QStringList {});
        for (const auto &[name, value] : shown)
            EXPECT_EQ(temp.value(q(name)), q(qstrcmp(name, key) ? value : closed)) << name;
        EXPECT_EQ(temp.value(q("sc_File1")), q("kept"));
    }
    TempStore temp;
    OptionsValues typed;
    typed.timer = q(" 15");
    typed.close();
    EXPECT_EQ(temp.value(keys::Timer), q(" 15")) << "stored exactly as typed";
}

} // namespace quillfen::test
