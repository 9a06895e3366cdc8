#pragma once

#include <QList>
#include <QString>
#include <QVersionNumber>

#include <cstdint>
#include <optional>
#include <utility>

namespace component {

// A library's version resource: the numeric file and product versions and
// the string table (CompanyName, FileDescription, FileVersion, ...). A
// library publishes it through one C entry point; clients read it with
// readVersionInfo without knowing anything else of the library.

extern "C" {
struct ComponentVersionString
{
    const char *name; // UTF-8
    const char *value; // UTF-8; "" is an entry that is present and empty
};

struct ComponentVersionInfo
{
    std::uint16_t fileVersion[4];
    std::uint16_t productVersion[4];
    std::uint32_t stringCount;
    const ComponentVersionString *strings;
};

using DllGetVersionInfoFn = const ComponentVersionInfo *(*)();
}

// The entry point's name.
inline constexpr char kVersionInfoEntry[] = "DllGetVersionInfo";

struct LibraryVersionInfo
{
    QVersionNumber fileVersion;
    QVersionNumber productVersion;
    QList<std::pair<QString, QString>> strings; // in the library's order

    // Names compare case-insensitively, as the system's lookup does.
    std::optional<QString> string(QStringView name) const;
};

// Loads the library (it stays loaded) and copies its version resource.
// nullopt when the library cannot be loaded or has none; description then
// says why.
std::optional<LibraryVersionInfo> readVersionInfo(const QString &libraryPath, QString *description = nullptr);
// One string entry; nullopt when the library, its resource or the entry is
// missing.
std::optional<QString> readVersionString(const QString &libraryPath, const QString &name);

} // namespace component
