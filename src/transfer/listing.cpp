#include "listing.h"

#include "platform/native_names.h"

#include "platform/failure.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace quillfen {

namespace {

// "*" and "?" against a name of the same character type, the name already in the
// pattern's letter case. Backtracks only to the last "*", so it stays linear in practice.
template<typename Char, typename Fold>
bool globMatch(const Char *pattern, size_t patternLength, const Char *name, size_t nameLength, Fold fold)
{
    constexpr size_t None = size_t(-1);
    size_t p = 0;
    size_t n = 0;
    size_t starP = None;
    size_t starN = 0;
    while (n < nameLength) {
        if (p < patternLength && pattern[p] == Char('*')) {
            starP = p++;
            starN = n;
        } else if (p < patternLength && (pattern[p] == Char('?') || pattern[p] == fold(name[n]))) {
            ++p;
            ++n;
        } else if (starP != None) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < patternLength && pattern[p] == Char('*'))
        ++p;
    return p == patternLength;
}

char asciiLower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool isAscii(const char *text, size_t length)
{
    for (size_t k = 0; k < length; ++k) {
        if (static_cast<unsigned char>(text[k]) >= 0x80)
            return false;
    }
    return true;
}

// Code points of `text` after case folding; a lone surrogate (a raw byte of a name that
// is not UTF-8) stays itself so that it only matches itself or "?".
std::u32string foldedCodePoints(const QString &text)
{
    const QString folded = text.toCaseFolded();
    std::u32string points;
    points.reserve(size_t(folded.size()));
    for (qsizetype k = 0; k < folded.size(); ++k) {
        const char16_t c = folded.at(k).unicode();
        if (QChar::isHighSurrogate(c) && k + 1 < folded.size()
            && QChar::isLowSurrogate(folded.at(k + 1).unicode())) {
            points.push_back(QChar::surrogateToUcs4(c, folded.at(k + 1).unicode()));
            ++k;
        } else {
            points.push_back(c);
        }
    }
    return points;
}

// The ";"-separated patterns, compiled once for a whole folder.
class PatternSet
{
public:
    explicit PatternSet(const QString &patterns)
    {
        for (const QString &part : patterns.split(QLatin1Char(';'))) {
            const QString pattern = part.trimmed();
            if (pattern.isEmpty())
                continue;
            add(pattern);
            // "name.*" also matches a name without any dot, so "*.*" matches every file.
            if (pattern.endsWith(QLatin1String(".*")))
                add(pattern.chopped(2));
        }
    }

    bool matches(const QString &name) const
    {
        const bool asciiName = isAsciiText(name);
        const QByteArray latin = asciiName ? name.toLatin1() : QByteArray();
        std::u32string folded;
        bool foldedReady = false;
        for (const Alternative &alternative : m_alternatives) {
            if (alternative.ascii && asciiName) {
                if (matchAscii(alternative, latin.constData(), size_t(latin.size())))
                    return true;
                continue;
            }
            if (!foldedReady) {
                folded = foldedCodePoints(name);
                foldedReady = true;
            }
            if (globMatch(alternative.folded.data(), alternative.folded.size(), folded.data(), folded.size(),
                    [](char32_t c) { return c; }))
                return true;
        }
        return false;
    }

    // A name as the folder holds it: plain ASCII names never become text unless listed.
    bool matchesNative(const char *name, size_t length) const
    {
        if (!isAscii(name, length) || !m_allAscii)
            return matches(nameFromNative(QByteArray::fromRawData(name, qsizetype(length))));
        for (const Alternative &alternative : m_alternatives) {
            if (matchAscii(alternative, name, length))
                return true;
        }
        return false;
    }

private:
    struct Alternative
    {
        bool ascii = false;
        QByteArray lowered; // when ascii
        std::u32string folded; // always
    };

    static bool isAsciiText(const QString &text)
    {
        return std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x80; });
    }

    static bool matchAscii(const Alternative &alternative, const char *name, size_t length)
    {
        return globMatch(
            alternative.lowered.constData(), size_t(alternative.lowered.size()), name, length, asciiLower);
    }

    void add(const QString &pattern)
    {
        Alternative alternative;
        alternative.ascii = isAsciiText(pattern);
        if (alternative.ascii)
            alternative.lowered = pattern.toLatin1().toLower();
        else
            m_allAscii = false;
        alternative.folded = foldedCodePoints(pattern);
        m_alternatives.push_back(std::move(alternative));
    }

    std::vector<Alternative> m_alternatives;
    bool m_allAscii = true;
};

struct DirCloser
{
    void operator()(DIR *dir) const { ::closedir(dir); }
};

} // namespace

bool matchesPatterns(const QString &name, const QString &patterns)
{
    return PatternSet(patterns).matches(name);
}

QStringList listMatchingFiles(const QString &folder, const QString &patterns)
{
    const QByteArray path = nativePath(folder);
    if (path.isEmpty())
        throw Failure(failure_no::PathNotFound);
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(path.constData()));
    if (!dir) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR)
            throw Failure(failure_no::PathNotFound);
        throw Failure::fromErrno(err, folder);
    }
    const PatternSet set(patterns);
    const int dirFd = ::dirfd(dir.get());

    NameSorter listed;
    for (;;) {
        const dirent *entry = readFolderEntry(dir.get(), folder);
        if (!entry)
            break;
        const char *name = entry->d_name;
        // Hidden names start with "."; so do "." and "..".
        if (name[0] == '.')
            continue;
        const unsigned char type = entry->d_type;
        if (type != DT_REG && type != DT_LNK && type != DT_UNKNOWN)
            continue;
        const size_t length = std::strlen(name);
        if (!set.matchesNative(name, length))
            continue;
        if (type != DT_REG) {
            struct stat st = {};
            if (::fstatat(dirFd, name, &st, 0) != 0 || !S_ISREG(st.st_mode))
                continue;
        }
        listed.add(nameFromNative(QByteArray(name, qsizetype(length))));
    }
    return listed.sorted();
}

const dirent *readFolderEntry(DIR *dir, const QString &folder)
{
    errno = 0;
    const dirent *entry = ::readdir(dir);
    if (!entry && errno != 0)
        throw Failure::fromErrno(errno, folder);
    return entry;
}

void NameSorter::add(QString name)
{
    QString key = name.toCaseFolded();
    m_entries.push_back({std::move(key), std::move(name)});
}

QStringList NameSorter::sorted()
{
    std::sort(m_entries.begin(), m_entries.end(), [](const Entry &a, const Entry &b) {
        const int byKey = QString::compare(a.key, b.key, Qt::CaseSensitive);
        return byKey != 0 ? byKey < 0 : QString::compare(a.name, b.name, Qt::CaseSensitive) < 0;
    });
    QStringList names;
    names.reserve(qsizetype(m_entries.size()));
    for (Entry &entry : m_entries)
        names.append(std::move(entry.name));
    m_entries.clear();
    return names;
}

} // namespace quillfen
