// Version resources as the system keeps them: the library's VERSIONINFO
// resource, read with GetFileVersionInfoW. The string tables are walked
// block by block, because the system looks strings up only by a name one
// must already know.

#include "VersionInfo.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace component {

namespace {

// One block of the resource: WORD length, WORD value length, WORD type, the
// key (NUL-terminated UTF-16), padding to 32 bits, the value, padding, then
// child blocks up to length.
struct Block
{
    QString key;
    const char *value = nullptr;
    qsizetype valueBytes = 0;
    const char *children = nullptr;
    const char *end = nullptr;
};

std::uint16_t wordAt(const char *p)
{
    std::uint16_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

const char *align4(const char *base, const char *p)
{
    return base + ((p - base + 3) & ~qsizetype(3));
}

// nullopt when the block does not fit in [p, limit).
std::optional<Block> readBlock(const char *base, const char *p, const char *limit)
{
    if (limit - p < 6)
        return std::nullopt;
    const std::uint16_t length = wordAt(p), valueLength = wordAt(p + 2), type = wordAt(p + 4);
    if (length < 6 || length > limit - p)
        return std::nullopt;
    Block block;
    block.end = p + length;
    const char *key = p + 6;
    const char *q = key;
    while (q + 2 <= block.end && wordAt(q) != 0)
        q += 2;
    if (q + 2 > block.end)
        return std::nullopt;
    block.key = QString(reinterpret_cast<const QChar *>(key), (q - key) / 2);
    block.value = align4(base, q + 2);
    // A text value's length counts characters, a binary one's bytes.
    block.valueBytes = type == 1 ? qsizetype(valueLength) * 2 : qsizetype(valueLength);
    if (block.value > block.end || block.valueBytes > block.end - block.value)
        return std::nullopt;
    block.children = std::min(align4(base, block.value + block.valueBytes), block.end);
    return block;
}

template <typename Visit> void forEachChild(const char *base, const Block &parent, Visit visit)
{
    for (const char *p = parent.children; p < parent.end;) {
        const std::optional<Block> child = readBlock(base, p, parent.end);
        if (!child)
            return;
        visit(*child);
        p = align4(base, child->end);
    }
}

QVersionNumber versionOf(DWORD high, DWORD low)
{
    return QVersionNumber({ int(HIWORD(high)), int(LOWORD(high)), int(HIWORD(low)), int(LOWORD(low)) });
}

} // namespace

std::optional<LibraryVersionInfo> readVersionInfo(const QString &libraryPath, QString *description)
{
    const auto fail = [&](const QString &why) -> std::optional<LibraryVersionInfo> {
        if (description)
            *description = why;
        return std::nullopt;
    };
    const std::wstring path = libraryPath.toStdWString();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeW(path.c_str(), &ignored);
    std::vector<char> data(size);
    if (size == 0 || !::GetFileVersionInfoW(path.c_str(), 0, size, data.data()))
        return fail(QStringLiteral("No version information in ") + libraryPath + QStringLiteral(": ")
            + qt_error_string(int(::GetLastError())));

    VS_FIXEDFILEINFO *fixed = nullptr;
    UINT fixedBytes = 0;
    if (!::VerQueryValueW(data.data(), L"\\", reinterpret_cast<void **>(&fixed), &fixedBytes) || !fixed
        || fixedBytes < sizeof *fixed)
        return fail(QStringLiteral("No version information in ") + libraryPath);
    LibraryVersionInfo info;
    info.fileVersion = versionOf(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    info.productVersion = versionOf(fixed->dwProductVersionMS, fixed->dwProductVersionLS);

    // VS_VERSION_INFO > StringFileInfo > one table per language > strings.
    const char *base = data.data();
    const std::optional<Block> root = readBlock(base, base, base + data.size());
    if (!root)
        return info;
    forEachChild(base, *root, [&](const Block &fileInfo) {
        if (fileInfo.key != QLatin1String("StringFileInfo"))
            return;
        forEachChild(base, fileInfo, [&](const Block &table) {
            forEachChild(base, table, [&](const Block &entry) {
                QString value(reinterpret_cast<const QChar *>(entry.value), entry.valueBytes / 2);
                // The length counts the terminating NUL.
                while (value.endsWith(QChar(0)))
                    value.chop(1);
                info.strings.append({ entry.key, value });
            });
        });
    });
    return info;
}

} // namespace component
