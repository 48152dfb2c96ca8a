#include "app/CFilePrompts.h"

#include "app/CInputBlocker.h"
#include "app/CMainApp.h"
#include "app/CSaveFileDialog.h"
#include "app/FileFilterText.h"

#include <QEventLoop>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>

CFilePrompts::CFilePrompts(QWidget* window) : owner(window) {}

std::unique_ptr<QFileDialog> CFilePrompts::MakeOpenDialog(QWidget* owner, const QList<FileFilter>& filters)
{
    auto dialog = std::make_unique<QFileDialog>(owner);
    dialog->setOption(QFileDialog::DontUseNativeDialog); // looks like the save dialog
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    dialog->setFileMode(QFileDialog::ExistingFile);
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
    return dialog->selectedFiles().first();
}

std::optional<QString> CFilePrompts::ChooseSaveFile(const QList<FileFilter>& filters)
{
    CSaveFileDialog dialog(owner, filters);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return FileFilterText::WithKnownExtension(dialog.selectedFiles().first(), dialog.SelectedFilter());
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
