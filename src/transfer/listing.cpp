#include "listing.h"

#include "platform/failure.h"
#include "platform/native_names.h"
#include "platform/raw_file.h"

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
        if (!m_allAscii || !isAscii(QByteArrayView(name, qsizetype(length))))
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

// Names compare with letter case ignored, then by their exact text: for two plain ASCII
// names that is a byte comparison, so only other names are turned into text to compare.
bool asciiNameLess(QByteArrayView a, QByteArrayView b)
{
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype k = 0; k < common; ++k) {
        const char x = asciiLower(a[k]);
        const char y = asciiLower(b[k]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return std::memcmp(a.data(), b.data(), size_t(common)) < 0;
}

bool textNameLess(const QString &a, const QString &b)
{
    const int byKey = QString::compare(a.toCaseFolded(), b.toCaseFolded(), Qt::CaseSensitive);
    return byKey != 0 ? byKey < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

} // namespace

void NameList::append(QByteArrayView name)
{
    m_names.push_back({quint32(m_bytes.size()), quint32(name.size())});
    m_bytes.append(name.data(), name.size());
    m_allAscii = m_allAscii && isAscii(name);
}

QByteArrayView NameList::native(qsizetype index) const
{
    const Span &span = m_names[size_t(index)];
    return QByteArrayView(m_bytes.constData() + span.start, span.length);
}

QString NameList::at(qsizetype index) const
{
    return nameFromNative(native(index).toByteArray());
}

QStringList NameList::toStringList() const
{
    QStringList names;
    names.reserve(size());
    for (qsizetype k = 0; k < size(); ++k)
        names.append(at(k));
    return names;
}

void NameList::sort()
{
    const auto less = [this](const Span &a, const Span &b) {
        const QByteArrayView x(m_bytes.constData() + a.start, a.length);
        const QByteArrayView y(m_bytes.constData() + b.start, b.length);
        if (m_allAscii || (isAscii(x) && isAscii(y)))
            return asciiNameLess(x, y);
        return textNameLess(nameFromNative(x.toByteArray()), nameFromNative(y.toByteArray()));
    };
    std::sort(m_names.begin(), m_names.end(), less);
}

NameList listMatchingNames(const QString &folder, const QString &patterns)
{
    raw_file::FolderReader reader(nativePath(folder));
    const PatternSet set(patterns);
    NameList listed;
    while (const dirent *entry = reader.next()) {
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
            if (::fstatat(reader.fd(), name, &st, 0) != 0 || !S_ISREG(st.st_mode))
                continue;
        }
        listed.append(QByteArrayView(name, qsizetype(length)));
    }
    listed.sort();
    return listed;
}

QStringList listMatchingFiles(const QString &folder, const QString &patterns)
{
    return listMatchingNames(folder, patterns).toStringList();
}

} // namespace quillfen
