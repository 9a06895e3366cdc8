#pragma once

#include "ClipRow.h"
#include "Failure.h"

#include <QList>
#include <QString>

#include <functional>

namespace scriptgen {

// The build settings, numbered as Settings.ini stores them (Mode, Overwrite,
// BuildScriptsIn) and as the windows' option buttons are indexed.
enum class BuildMode { AllForOne = 0, OneForAll = 1 }; // one batch file / a script per clip
enum class OverwritePolicy { Always = 0, Ask = 1 };
enum class ScriptFolder { ClipFolder = 0, SpecificFolder = 1 };

// What a build reads from the main window and the settings window, gathered
// at the moment of the build.
struct BuildOptions
{
    QString templateText; // the editor's text, line breaks as CR LF
    QString scriptExtension; // as the settings window shows it, without "."; used lower-cased
    OverwritePolicy overwrite = OverwritePolicy::Always;
    ScriptFolder scriptFolder = ScriptFolder::ClipFolder;
    QString avsFolder; // the specific script folder; may be empty (current folder)
    // Asked between files and between the clips of a batch: true ends the
    // build there (the program is asked to end). A script being written is
    // finished first; an unfinished batch file is removed.
    std::function<bool()> stopRequested = {};
};

// The highest number a batch file name can carry.
inline constexpr int MaxBatchNumber = 32767;

// The script path of one clip in the per-clip build: folder (the clip's own
// or the specific one) + clip name + "." + lower-cased script extension.
errorlog::Expected<QString> scriptPathFor(const scan::ClipRow &row, const BuildOptions &options);

// The text a build writes for one clip: the template with the clip's
// placeholders filled in (failure 5 for a clip whose name has no ".").
// Written in the local encoding.
errorlog::Expected<QString> scriptText(const scan::ClipRow &row, const QString &templateText);

// What a build would write for one clip, shown before anything is written:
// the per-clip script's path and text, or (batch) the clip's block and the
// name the next batch build would take.
struct ScriptPreview
{
    QString path;
    QString text;
    bool exists = false; // a file or link already stands at `path`
};
errorlog::Expected<ScriptPreview> previewScript(const scan::ClipRow &row, const BuildOptions &options, bool batch);

// The per-clip build. Walks the rows in order and writes one script for each
// checked row. Under "Ask", askOverwrite(path) is called for a script that
// already exists, or that appeared while its new text was written; false
// keeps that file, and so does an empty askOverwrite. markScript(row) is called for each checked row whose
// script is now in place, written or kept; a row whose script could not be
// written is not marked. Each failure is handed to `report` and the build
// goes on. Each script is written beside its place and
// put there whole; what a killed build left beside it is removed. Returns
// the number of scripts written.
int buildPerClip(const QList<scan::ClipRow> &rows, const BuildOptions &options, const errorlog::FailureSink &report,
    const std::function<bool(const QString &scriptPath)> &askOverwrite, const std::function<void(int row)> &markScript);

// The batch build: one new file "batch_file_<n>.<ext>" in the specific script
// folder, n the smallest number whose name is free, holding the expansion of
// every checked row one after the other. The file is written beside its place
// and takes the first free name only when complete, never replacing anything,
// so a killed build neither leaves part of a batch file nor uses up a number;
// what a killed build left beside it is removed. Returns the path of the file
// created, or "" when none was (the failure is reported; when every name up to
// MaxBatchNumber is taken that is the only record and nothing is written). A
// file that could not be written whole is removed again.
QString buildBatch(const QList<scan::ClipRow> &rows, const BuildOptions &options, const errorlog::FailureSink &report);

} // namespace scriptgen
