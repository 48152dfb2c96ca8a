#include "app/CFilePrompts.h"

#include "app/CInputBlocker.h"
#include "app/CMainApp.h"
#include "app/CSaveFileDialog.h"
#include "app/FileFilterText.h"

#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProgressDialog>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <QTimer>

CFilePrompts::CFilePrompts(QWidget* window) : owner(window) {}

std::unique_ptr<QFileDialog> CFilePrompts::MakeOpenDialog(QWidget* owner, const QList<FileFilter>& filters)
{
    auto dialog = std::make_unique<QFileDialog>(owner);
    dialog->setOption(QFileDialog::DontUseNativeDialog); // looks like the save dialog
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setDirectory(StartFolder());
    const QStringList texts = FileFilterText::ToQt(filters);
    dialog->setNameFilters(texts);
    if (!texts.isEmpty())
        dialog->selectNameFilter(texts.first());
    return dialog;
}

std::optional<QString> CFilePrompts::ChooseOpenFile(const QList<FileFilter>& filters)
{
    const std::unique_ptr<QFileDialog> dialog = MakeOpenDialog(owner, filters);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return std::nullopt;
    RememberFolderOf(dialog->selectedFiles().first());
    return dialog->selectedFiles().first();
}

std::optional<QString> CFilePrompts::ChooseSaveFile(const QList<FileFilter>& filters)
{
    CSaveFileDialog dialog(owner, filters);
    dialog.setDirectory(StartFolder());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    RememberFolderOf(dialog.selectedFiles().first());
    return FileFilterText::WithKnownExtension(dialog.selectedFiles().first(), dialog.SelectedFilter());
}

namespace {

// Kept across runs in the user's configuration.
QSettings Settings()
{
    return QSettings(QStringLiteral("Quorvel"), QStringLiteral("Quorvel"));
}

const QString folderKey = QStringLiteral("dialogs/folder");

} // namespace

QString CFilePrompts::StartFolder()
{
    const QString last = Settings().value(folderKey).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    return QFileInfo(pictures).isDir() ? pictures : QDir::homePath();
}

void CFilePrompts::RememberFolderOf(const QString& filePath)
{
    Settings().setValue(folderKey, QFileInfo(filePath).absolutePath());
}

CDocumentPrompts::Answer CFilePrompts::AskYesNoCancel(const QString& caption, const QString& text)
{
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                    owner);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel); // also what the close box answers
    switch (box.exec()) {
    case QMessageBox::Yes:
        return Answer::Yes;
    case QMessageBox::No:
        return Answer::No;
    default:
        return Answer::Cancel;
    }
}

void CFilePrompts::RunLengthy(const QString& what, const std::function<void()>& work)
{
    const CInputBlocker blocker;
    QEventLoop loop;
    const std::unique_ptr<QThread> worker(QThread::create([&work] {
        try {
            work();
        } catch (...) {
            // The work reports its outcome through what it leaves behind; an exception leaves none.
        }
    }));
    // Queued across threads, so a worker that ends before exec() still ends the loop.
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);

    QProgressDialog progress(what, QString(), 0, 0 /*busy indicator*/, owner);
    progress.setWindowTitle(appCaption);
    progress.setWindowModality(Qt::ApplicationModal);
    progress.setCancelButton(nullptr);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    progress.setMinimumDuration(progressDelay);
    QTimer showLater;
    showLater.setSingleShot(true);
    QObject::connect(&showLater, &QTimer::timeout, &progress, &QProgressDialog::show);

    worker->start();
    showLater.start(progressDelay);
    loop.exec();
    worker->wait();
}
