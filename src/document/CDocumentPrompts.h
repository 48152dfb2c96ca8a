#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <optional>

// The questions the document puts to the user: which file to open, under which name to save, and
// whether to save before closing. The editor's main window answers them with its dialogs (owned by
// that window); tests answer them from a script.
class CDocumentPrompts
{
public:
    struct FileFilter
    {
        QString label;   // e.g. "BMP文件(*.bmp)"
        QString pattern; // patterns separated by ';', e.g. "*.gif;*.bmp"
    };
    enum class Answer
    {
        Yes,
        No,
        Cancel,
    };

    virtual ~CDocumentPrompts() = default;

    // The chosen path, or nothing when the user cancelled. The first filter is selected initially.
    virtual std::optional<QString> ChooseOpenFile(const QList<FileFilter>& filters) = 0;
    virtual std::optional<QString> ChooseSaveFile(const QList<FileFilter>& filters) = 0;
    // A modal question with Yes, No and Cancel and the question icon.
    virtual Answer AskYesNoCancel(const QString& caption, const QString& text) = 0;

    // Runs the decoding or encoding of a file and returns when it is done. `work` changes neither
    // the document nor any widget (it may read the current state, which nothing changes meanwhile),
    // so the editor runs it on a worker thread behind a progress dialog; its windows keep painting
    // and take no input until it ends. `what` says what is being done.
    virtual void RunLengthy(const QString& what, const std::function<void()>& work)
    {
        static_cast<void>(what);
        work();
    }
};
