#pragma once

#include <QString>

// What keeps the program from naming its own folder exactly, as the system
// holds the executable's path ("" when nothing does): files meant for that
// folder would land elsewhere. The build picks the system's side.
QString executableFolderProblem();
