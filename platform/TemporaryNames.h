#pragma once

#include <QByteArray>

namespace platform::SafeFile {

// A fresh name for a file being written, to go in the folder of the file it
// becomes: short, so that it fits wherever the final name fits, and hidden.
// It passes isTemporaryName.
QByteArray newTemporaryName();

} // namespace platform::SafeFile
