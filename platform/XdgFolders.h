#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The base folders of the XDG rules, as every program on the desktop finds
// them. A variable that holds a relative path does not count (the rules say
// to ignore it); without HOME too there is no such folder, and the answer is
// empty rather than a folder in "/" or wherever the process happens to be.
namespace XdgFolders {

QString configHome(); // $XDG_CONFIG_HOME, else ~/.config
QString dataHome(); // $XDG_DATA_HOME, else ~/.local/share
QString stateHome(); // $XDG_STATE_HOME, else ~/.local/state

// The machine-wide configuration folders, most important first:
// $XDG_CONFIG_DIRS, else /etc/xdg.
QStringList configDirs();

} // namespace XdgFolders

} // namespace platform
