#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringList>

#include <vector>

namespace quillfen {

// The names of one listing, held as their native bytes end to end: a folder of a million
// names costs tens of megabytes, not hundreds.
class NameList
{
public:
    qsizetype size() const { return qsizetype(m_names.size()); }
    bool isEmpty() const { return m_names.empty(); }
    QByteArrayView native(qsizetype index) const;
    QString at(qsizetype index) const;
    QStringList toStringList() const;

    void append(QByteArrayView name);
    // Ascending order with letter case ignored, ties broken by the exact name.
    void sort();

private:
    struct Span
    {
        quint32 start;
        quint32 length;
    };
    QByteArray m_bytes; // the names end to end
    std::vector<Span> m_names;
    bool m_allAscii = true;
};

// The names of the files of `folder` (a folder text, with or without the trailing
// separator) that match `patterns`: regular files and links to them, hidden names left
// out, each once, in ascending name order with letter case ignored. Throws Failure 76
// when the folder does not exist, or the host's failure when it cannot be read.
NameList listMatchingNames(const QString &folder, const QString &patterns);
QStringList listMatchingFiles(const QString &folder, const QString &patterns);

} // namespace quillfen
