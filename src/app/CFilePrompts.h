#pragma once

#include "document/CDocumentPrompts.h"

#include <memory>

class QFileDialog;
class QWidget;

// The main window's answers to the document's questions: Qt's file dialogs with the document's
// filters, the Yes/No/Cancel question, and lengthy codec work off the user-interface thread.
class CFilePrompts : public CDocumentPrompts
{
public:
    // `owner` (not owned, outlives this object) parents the dialogs.
    explicit CFilePrompts(QWidget* owner);

    std::optional<QString> ChooseOpenFile(const QList<FileFilter>& filters) override;
    // A typed name without one of the document's extensions gets the chosen filter's extension.
    std::optional<QString> ChooseSaveFile(const QList<FileFilter>& filters) override;
    Answer AskYesNoCancel(const QString& caption, const QString& text) override;

    // Runs `work` on a thread of its own and returns when it ends; meanwhile the windows keep
    // painting, user input is dropped, and after progressDelay a busy indicator says `what`. An
    // exception thrown by `work` ends it and goes no further.
    void RunLengthy(const QString& what, const std::function<void()>& work) override;

    // Where both file dialogs start: the folder of the picture opened or saved last (this run or
    // an earlier one), else the user's Pictures folder, else the home folder.
    static QString StartFolder();
    static void RememberFolderOf(const QString& filePath);

    // The open dialog as ChooseOpenFile shows it.
    static std::unique_ptr<QFileDialog> MakeOpenDialog(QWidget* owner, const QList<FileFilter>& filters);

    static constexpr int progressDelay = 500; // ms

private:
    QWidget* owner;
};
