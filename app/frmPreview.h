#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class QTextEdit;

// What a build would write for one clip, shown read-only and coloured as the
// editor colours it, with the script's path and what a build will do there.
// Nothing is written. The main window keeps one and shows in it whatever
// clip and template are current while it is open.
class frmPreview : public QDialog
{
    Q_OBJECT

public:
    explicit frmPreview(const QStringList &filterNames, QWidget *parent = nullptr);

    // A script: where it goes, what a build does there, and its text.
    void showScript(const QString &path, const QString &fate, const QString &text);
    // No script to show, and why.
    void showNothing(const QString &why);

private:
    QLabel *lblPath = nullptr;
    QLabel *lblExists = nullptr;
    QTextEdit *txtPreview = nullptr;
    QPushButton *cmdClose = nullptr;

    QStringList m_filterNames;
};
