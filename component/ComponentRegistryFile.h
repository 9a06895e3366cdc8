#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

namespace component {

// The text of the component registry file, read and written here rather than
// by QSettings so that the file itself is opened only the safe way (a regular
// file, never blocking, bounded). The layout is the one QSettings gives an
// INI file with text values, so a registry written by either reads the same
// in both: a key's first "/"-separated part is its section ("[General]" holds
// the keys without one), the rest is the key in the section with "/" written
// as "\"; characters other than letters, digits, "-", "_" and "." are %XX
// (%UXXXX beyond Latin-1); values are UTF-8 with C escapes, in double quotes
// when they hold ";", "," or "=" or begin or end with a space; a value that
// begins with "@" has it doubled.
namespace ComponentRegistryFile {

// Full key ("CLSID/{...}/InprocServer32") to value.
using Entries = QMap<QString, QString>;

// What cannot be read as an entry (a comment, a line without "=") is skipped;
// a ";" outside quotes begins a comment, as it does for QSettings.
Entries parse(const QByteArray &text);
QByteArray format(const Entries &entries);

} // namespace ComponentRegistryFile

} // namespace component
