#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTextEdit;
struct ScriptPreview;

// What a build would write for one clip, shown read-only and coloured as the
// editor colours it, with the script's path and whether it already exists.
// Nothing is written. One window per request; it closes itself away.
class frmPreview : public QDialog
{
    Q_OBJECT

public:
    frmPreview(const ScriptPreview &preview, const QStringList &filterNames, QWidget *parent = nullptr);

    QLabel *lblPath = nullptr;
    QLabel *lblExists = nullptr;
    QTextEdit *txtPreview = nullptr;
    QPushButton *cmdClose = nullptr;
};
