// The command handlers: guard, call the document or a dialog, report, repaint.
#include "app/CAboutDlg.h"
#include "app/CFilePrompts.h"
#include "app/CMainApp.h"
#include "app/CMainDlg.h"
#include "app/MainCommands.h"
#include "canvas/CDrawView.h"
#include "dialogs/EffectDialogs.h"
#include "notify/CNotifyPopup.h"

bool CMainDlg::Guard(const QString& refusal)
{
    if (Document().IsLoaded())
        return true;
    Notify(NoticeKind::Warning, refusal);
    return false;
}

void CMainDlg::Notify(NoticeKind kind, const QString& text)
{
    if (popup)
        popup->ShowMessage(kind, text);
}

void CMainDlg::Report(bool done, const QString& success)
{
    if (done)
        Notify(NoticeKind::Success, success);
    else
        Notify(NoticeKind::Failure, Document().GetErrorText());
}

void CMainDlg::WarnOfDroppedSteps()
{
    if (Document().TakeDroppedStepsNotice())
        Notify(NoticeKind::Warning, QStringLiteral("磁盘空间不足,最早的几步操作已无法撤消"));
}

void CMainDlg::Repaint()
{
    if (!Document().IsLoaded()) {
        if (!canvas->GetScrollSizes().isEmpty())
            canvas->SetScrollSizes(QSize(0, 0));
        setWindowTitle(appCaption);
    }
    canvas->Redraw();
}

void CMainDlg::OnOpen()
{
    ReportOpen(Document().Open());
}

void CMainDlg::OpenFile(const QString& path)
{
    if (canvas)
        ReportOpen(Document().Open(path));
}

void CMainDlg::ReportOpen(bool opened)
{
    CImageDoc& doc = Document();
    if (!opened) {
        Notify(NoticeKind::Failure, QStringLiteral("文件打开失败"));
        // Refused at the save question, the open picture stays as the window shows it; otherwise
        // it is closed by now and must leave the caption and the canvas.
        if (!doc.IsLoaded())
            Repaint();
        return;
    }
    CFilePrompts::RememberFolderOf(doc.GetPath()); // also for a file dropped or named on the command line
    canvas->SetScrollSizes(QSize(static_cast<int>(doc.GetWidth()), static_cast<int>(doc.GetHeight())));
    Notify(NoticeKind::Success, QStringLiteral("文件打开成功"));
    setWindowTitle(doc.GetPath());
    canvas->Redraw();
    SelectTool(SelectionKind::None);
}

void CMainDlg::OnSave()
{
    if (Guard(QStringLiteral("没有打开任何文件,无法保存"))) {
        const bool saved = Document().Save();
        Report(saved, QStringLiteral("文件: ") + Document().GetPath() + QStringLiteral(" 保存成功"));
    }
    Repaint();
}

void CMainDlg::OnSaveAs()
{
    if (Guard(QStringLiteral("没有打开任何文件,无法另存为"))) {
        const bool saved = Document().SaveAs();
        Report(saved, QStringLiteral("文件另存为成功"));
        if (saved)
            setWindowTitle(Document().GetPath());
    }
    Repaint();
}

void CMainDlg::OnCloseFile()
{
    if (Guard(QStringLiteral("没有打开任何文件,无法关闭"))) {
        const bool closed = Document().CloseWithPrompt();
        Report(closed, QStringLiteral("文件成功关闭"));
        if (closed) {
            canvas->SetScrollSizes(QSize(0, 0));
            setWindowTitle(appCaption);
        }
    }
    Repaint();
}

void CMainDlg::OnExit()
{
    close();
}

void CMainDlg::OnUndo()
{
    if (Guard(QStringLiteral("没有打开任何文件,无法实现撤消操作")))
        Report(Document().Undo(), QStringLiteral("撤消成功"));
    WarnOfDroppedSteps();
    Repaint();
}

void CMainDlg::OnRedo()
{
    if (Guard(QStringLiteral("没有打开任何文件,无法实现重复操作")))
        Report(Document().Redo(), QStringLiteral("重复成功"));
    WarnOfDroppedSteps();
    Repaint();
}

// The picture does not change, so the canvas is not repainted. A refused copy leaves the
// clipboard as it was, so it must say so: a paste elsewhere would give the old content.
void CMainDlg::OnCopy()
{
    if (Guard(QStringLiteral("没有打开任何文件,无法进行复制操作")))
        Report(Document().CopyToClipboard(), QStringLiteral("复制成功"));
}

void CMainDlg::OnInvert()
{
    if (Guard(QStringLiteral("没有打开任何文件,无法进行反色处理操作"))) {
        if (Document().ApplyInvert())
            Notify(NoticeKind::Success, QStringLiteral("反色处理成功"));
        else
            Notify(NoticeKind::Failure, QStringLiteral("反色处理失败"));
    }
    WarnOfDroppedSteps();
    Repaint();
}

void CMainDlg::OnZoomIn()
{
    canvas->ZoomIn();
}

void CMainDlg::OnZoomOut()
{
    canvas->ZoomOut();
}

void CMainDlg::OnActualSize()
{
    canvas->ShowActualSize();
}

void CMainDlg::OnFitWindow()
{
    canvas->FitToWindow();
}

// The dialog previews by putting states on the document; when it closes, the newest state is its
// last preview, kept when confirmed and dropped otherwise. A preview whose effect failed never
// reached the history, so then nothing is dropped (that would take the user's picture) and a
// confirmation reports the failure instead of a success.
void CMainDlg::OnEffect(const EffectHandler& effect)
{
    const EffectCommand command = effect.command;
    if (Guard(QString::fromUtf8(effect.refusal))) {
        CImageDoc& doc = Document();
        // Told by the state shown, not the depth: making room may give up the oldest step.
        const ImageState* before = &doc.CurrentState();
        const std::optional<int> result =
            effectDialogs ? effectDialogs(*this, command) : std::optional<int>(ExecEffectDialog(command));
        // The dialog is modal: nothing but its previews can have changed the history meanwhile.
        const bool previewed = &doc.CurrentState() != before;
        if (result && *result == CEffectDlg::Confirmed)
            Report(previewed, QString::fromUtf8(effect.success));
        else if (result && previewed)
            doc.DropNewest();
    }
    WarnOfDroppedSteps();
    Repaint();
}

int CMainDlg::ExecEffectDialog(EffectCommand command)
{
    return MakeEffectDialog(command, this, *this, *effectPrompts)->exec();
}

void CMainDlg::OnAbout()
{
    CAboutDlg about(this);
    about.exec();
}
