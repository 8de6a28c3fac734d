#pragma once

#include <QString>

namespace quillfen::test {

// Makes a folder refuse changes for its lifetime, also for root (who ignores permission
// bits): the write bits are cleared and, where the file system allows, the folder is
// marked immutable. `active()` is false when neither could be done.
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder(const QString &path);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder &) = delete;
    ReadOnlyFolder &operator=(const ReadOnlyFolder &) = delete;

    bool active() const { return m_active; }

private:
    QByteArray m_path;
    bool m_immutable = false;
    bool m_active = false;
};

} // namespace quillfen::test
