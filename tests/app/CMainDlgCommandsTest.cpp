#include "MainWindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include "app/CAboutDlg.h"
#include "dialogs/CEffectDlg.h"
#include "widgets/CImageButton.h"

#include <ostream>
#include <string>

namespace {

struct GuardCase
{
    int command;
    const char* refusal;
    bool repaints;
};

void PrintTo(const GuardCase& c, std::ostream* os)
{
    *os << "command " << c.command;
}

const GuardCase guardCases[] = {
    {CMainDlg::Save, "没有打开任何文件,无法保存", true},
    {CMainDlg::SaveAs, "没有打开任何文件,无法另存为", true},
    {CMainDlg::CloseFile, "没有打开任何文件,无法关闭", true},
    {CMainDlg::Undo, "没有打开任何文件,无法实现撤消操作", true},
    {CMainDlg::Redo, "没有打开任何文件,无法实现重复操作", true},
    {CMainDlg::Copy, "没有打开任何文件,无法进行复制操作", false},
    {CMainDlg::Invert, "没有打开任何文件,无法进行反色处理操作", true},
    {CMainDlg::Gray, "没有打开任何文件,无法进行灰度处理操作", true},
    {CMainDlg::Brightness, "没有打开任何文件,无法进行明暗处理操作", true},
    {CMainDlg::Rgb, "没有打开任何文件,无法进行RGB处理操作", true},
    {CMainDlg::Line, "没有打开任何文件,无法进行线处理操作", true},
    {CMainDlg::Dot, "没有打开任何文件,无法进行点处理操作", true},
    {CMainDlg::ColorFilter, "没有打开任何文件,无法进行颜色过滤处理操作", true},
    {CMainDlg::SolidFill, "没有打开任何文件,无法进行单色填充处理操作", true},
    {CMainDlg::Threshold, "没有打开任何文件,无法进行二值化处理操作", true},
};

class GuardTest : public MainWindowTest, public ::testing::WithParamInterface<GuardCase>
{
};

constexpr int successSymbol = static_cast<int>(NoticeKind::Success);
constexpr int failureSymbol = static_cast<int>(NoticeKind::Failure);
constexpr int warningSymbol = static_cast<int>(NoticeKind::Warning);

} // namespace

TEST_P(GuardTest, WithoutImageShowsItsOwnRefusalAsWarning)
{
    bool dialogRan = false;
    window->SetEffectDialogRunner([&](CMainDlg&, EffectCommand) {
        dialogRan = true;
        return std::optional<int>(100);
    });
    PaintsSinceLastCall();
    window->MenuAction(GetParam().command)->trigger();
    EXPECT_EQ(Popup().MessageText(), QString::fromUtf8(GetParam().refusal));
    EXPECT_EQ(Popup().VisibleSymbol(), warningSymbol);
    EXPECT_FALSE(dialogRan);
    EXPECT_TRUE(prompts.saveFilterLists.isEmpty());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvel"));
    EXPECT_EQ(PaintsSinceLastCall() > 0, GetParam().repaints);
}

INSTANTIATE_TEST_SUITE_P(EveryGuardedCommand, GuardTest, ::testing::ValuesIn(guardCases),
                         [](const ::testing::TestParamInfo<GuardCase>& info) {
                             return "Command" + std::to_string(info.param.command);
                         });

TEST_F(MainWindowTest, OpenSetsSizeCaptionAndRepaints)
{
    const QString path = WritePicture(QStringLiteral("a.png"), 64, 48);
    PaintsSinceLastCall();
    OpenPicture(path);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("文件打开成功"));
    EXPECT_EQ(Popup().VisibleSymbol(), successSymbol);
    EXPECT_EQ(window->windowTitle(), path);
    EXPECT_EQ(window->Canvas()->GetScrollSizes(), QSize(64, 48));
    EXPECT_GT(PaintsSinceLastCall(), 0);
}

// The old picture is closed by the time the chooser is cancelled: nothing of it may stay on screen.
TEST_F(MainWindowTest, CancelledOpenShowsFailureAndNoLongerThePicture)
{
    OpenPicture(WritePicture(QStringLiteral("a.png")));
    PaintsSinceLastCall();
    prompts.openAnswers.push_back(std::nullopt);
    Press(Qt::Key_O);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("文件打开失败"));
    EXPECT_EQ(Popup().VisibleSymbol(), failureSymbol);
    EXPECT_FALSE(Doc().IsLoaded());
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvel"));
    EXPECT_EQ(window->Canvas()->GetScrollSizes(), QSize(0, 0));
    EXPECT_GT(PaintsSinceLastCall(), 0);
}

// Refused at the save question, Open keeps the modified picture open, and the window still names
// and shows it: Cancel, or Yes whose write fails.
TEST_F(MainWindowTest, OpenRefusedAtTheSaveQuestionKeepsTheCaptionAndSize)
{
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("a.png"));
    WriteWithQt(MakePhotoLike(64, 48), path, "PNG");
    OpenPicture(path);
    window->MenuAction(CMainDlg::Invert)->trigger();
    for (const auto answer : {CDocumentPrompts::Answer::Cancel, CDocumentPrompts::Answer::Yes}) {
        if (answer == CDocumentPrompts::Answer::Yes) {
            ASSERT_TRUE(folder.remove()); // nowhere left to write the picture
        }
        prompts.questionAnswers.push_back(answer);
        Press(Qt::Key_O);
        EXPECT_EQ(Popup().MessageText(), QStringLiteral("文件打开失败"));
        EXPECT_TRUE(Doc().IsLoaded());
        EXPECT_EQ(window->windowTitle(), path);
        EXPECT_EQ(window->Canvas()->GetScrollSizes(), QSize(64, 48));
    }
    EXPECT_EQ(prompts.questions.size(), 2);
}

TEST_F(MainWindowTest, UndoOnAFreshImageFailsWithTheDocumentsText)
{
    OpenPicture(WritePicture(QStringLiteral("a.png")));
    Press(Qt::Key_Z);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("已经撤消到第一个状态了"));
    EXPECT_EQ(Popup().VisibleSymbol(), failureSymbol);
}

TEST_F(MainWindowTest, InvertUndoAndRedoReportAndRepaint)
{
    OpenPicture(WritePicture(QStringLiteral("a.png")));
    const QImage original = Doc().CurrentState().ReadAll();
    window->MenuAction(CMainDlg::Invert)->trigger();
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("反色处理成功"));
    EXPECT_NE(Doc().CurrentState().ReadAll(), original);
    PaintsSinceLastCall();
    Press(Qt::Key_Z);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("撤消成功"));
    EXPECT_EQ(Doc().CurrentState().ReadAll(), original);
    EXPECT_GT(PaintsSinceLastCall(), 0);
    Press(Qt::Key_Y);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("重复成功"));
    EXPECT_EQ(Popup().VisibleSymbol(), successSymbol);
}

TEST_F(MainWindowTest, SaveNamesThePathAndRestartsTheHistory)
{
    const QString path = WritePicture(QStringLiteral("a.png"));
    OpenPicture(path);
    window->MenuAction(CMainDlg::Invert)->trigger();
    Press(Qt::Key_S);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("文件: ") + path + QStringLiteral(" 保存成功"));
    EXPECT_EQ(Popup().VisibleSymbol(), successSymbol);
    EXPECT_FALSE(Doc().IsModified());
    Press(Qt::Key_Z);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("已经撤消到第一个状态了"));
}

TEST_F(MainWindowTest, SaveAsAndCloseFileFollowTheCaption)
{
    OpenPicture(WritePicture(QStringLiteral("a.png")));
    const QString copy = dir.filePath(QStringLiteral("b.bmp"));
    prompts.saveAnswers.push_back(copy);
    QTest::mouseClick(window->ToolbarButton(1003), Qt::LeftButton);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("文件另存为成功"));
    EXPECT_EQ(window->windowTitle(), copy);

    prompts.saveAnswers.push_back(std::nullopt);
    window->MenuAction(CMainDlg::SaveAs)->trigger();
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("用户取消了文件另存为"));
    EXPECT_EQ(Popup().VisibleSymbol(), failureSymbol);

    QTest::mouseClick(window->ToolbarButton(1007), Qt::LeftButton);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("文件成功关闭"));
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvel"));
    EXPECT_EQ(window->Canvas()->GetScrollSizes(), QSize(0, 0));
    EXPECT_FALSE(Doc().IsLoaded());
}

TEST_F(MainWindowTest, CtrlCCopiesWithoutChangingTheToolOrRepainting)
{
    OpenPicture(WritePicture(QStringLiteral("a.png"), 32, 24));
    Press(Qt::Key_R);
    QGuiApplication::clipboard()->clear();
    PaintsSinceLastCall();
    Press(Qt::Key_C);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("复制成功"));
    EXPECT_EQ(QGuiApplication::clipboard()->image().size(), QSize(32, 24));
    EXPECT_EQ(window->Canvas()->GetTool(), SelectionKind::Rectangle);
    EXPECT_EQ(PaintsSinceLastCall(), 0);
}

// A refused copy leaves the clipboard as it was, so the user must hear of it.
TEST_F(MainWindowTest, RefusedCopyTellsWhyAndKeepsTheClipboard)
{
    OpenPicture(WritePicture(QStringLiteral("a.png"), 32, 24));
    QGuiApplication::clipboard()->setText(QStringLiteral("earlier"));
    Doc().selection.Clear();
    Doc().selection.AddPoint(QPoint(100, 100));
    Doc().selection.AddPoint(QPoint(120, 110));
    Doc().selection.kind = SelectionKind::Rectangle;
    Press(Qt::Key_C);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("选择的区域是空的,不能进行复制"));
    EXPECT_EQ(Popup().VisibleSymbol(), failureSymbol);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("earlier"));
}

TEST_F(MainWindowTest, EffectDialogsKeepTheirPreviewOnlyWhenConfirmed)
{
    OpenPicture(WritePicture(QStringLiteral("a.png")));
    const QImage original = Doc().CurrentState().ReadAll();
    int answer = 2;
    QList<EffectCommand> asked;
    window->SetEffectDialogRunner([&](CMainDlg& owner, EffectCommand command) {
        asked.append(command);
        owner.Canvas()->doc.ApplyInvert(); // the dialog's last preview
        return std::optional<int>(answer);
    });

    Popup().ShowMessage(NoticeKind::Warning, QStringLiteral("before"));
    window->MenuAction(CMainDlg::Gray)->trigger();
    EXPECT_EQ(Doc().CurrentState().ReadAll(), original);
    EXPECT_EQ(Doc().UndoDepth(), 1u);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("before"));

    answer = 100;
    PaintsSinceLastCall();
    window->MenuAction(CMainDlg::Threshold)->trigger();
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("二值化处理成功"));
    EXPECT_EQ(Popup().VisibleSymbol(), successSymbol);
    EXPECT_EQ(Doc().UndoDepth(), 2u);
    EXPECT_GT(PaintsSinceLastCall(), 0);
    EXPECT_EQ(asked, (QList<EffectCommand>{EffectCommand::Gray, EffectCommand::Threshold}));
}

// With no disk for the older steps, a history over its budget gives up the oldest: said once, and a
// preview that cost a step is still told from no preview at all.
TEST_F(MainWindowTest, HistoryGivingUpStepsSaysSoOnceAndKeepsPreviewsApart)
{
    OpenPicture(WritePicture(QStringLiteral("a.png")));
    Doc().SetHistoryBudget(0, {"/nonexistent/quorvel"}); // room for the current state and the one below
    window->MenuAction(CMainDlg::Invert)->trigger();
    const QImage inverted = Doc().CurrentState().ReadAll();
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("反色处理成功"));

    int answer = CEffectDlg::Cancelled;
    window->SetEffectDialogRunner([&](CMainDlg& owner, EffectCommand) {
        owner.Canvas()->doc.ApplyGray(100); // the dialog's last preview
        return std::optional<int>(answer);
    });
    window->MenuAction(CMainDlg::Gray)->trigger();
    EXPECT_EQ(Doc().CurrentState().ReadAll(), inverted) << "the cancelled preview went";
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("磁盘空间不足,最早的几步操作已无法撤消"));
    EXPECT_EQ(Popup().VisibleSymbol(), warningSymbol);

    answer = CEffectDlg::Confirmed;
    window->MenuAction(CMainDlg::Gray)->trigger();
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("灰度处理成功"));
    EXPECT_EQ(Doc().UndoDepth(), 2u);
}

TEST_F(MainWindowTest, EffectCommandWithoutDialogChangesNothing)
{
    OpenPicture(WritePicture(QStringLiteral("a.png")));
    window->MenuAction(CMainDlg::Invert)->trigger();
    window->SetEffectDialogRunner([](CMainDlg&, EffectCommand) { return std::optional<int>(); });
    window->MenuAction(CMainDlg::Dot)->trigger();
    EXPECT_EQ(Doc().UndoDepth(), 2u);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("反色处理成功"));
}

TEST_F(MainWindowTest, AboutRunsFromItsMenuItemAndButton)
{
    int shown = 0;
    const auto closeAbout = [&] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        if (!about)
            return;
        ++shown;
        EXPECT_EQ(about->windowTitle(), QStringLiteral("关于Quorvel"));
        QTest::keyClick(about, Qt::Key_Escape);
    };
    QTimer::singleShot(0, closeAbout);
    window->MenuAction(CMainDlg::About)->trigger();
    QTimer::singleShot(0, closeAbout);
    QTest::mouseClick(window->ToolbarButton(1006), Qt::LeftButton);
    EXPECT_EQ(shown, 2);
    EXPECT_TRUE(window->isVisible());
}

namespace {

// Drops `data` on the main window as a file manager would, then lets the deferred open run.
void Drop(CMainDlg& window, const QMimeData& data)
{
    const QPointF at(window.width() / 2.0, window.height() / 2.0);
    QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &enter);
    ASSERT_TRUE(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&window, &drop);
    QCoreApplication::processEvents();
}

QMimeData* FilesData(const QStringList& paths)
{
    auto* data = new QMimeData;
    QList<QUrl> urls;
    for (const QString& path : paths)
        urls.append(QUrl::fromLocalFile(path));
    data->setUrls(urls);
    return data;
}

} // namespace

TEST_F(MainWindowTest, OneDroppedFileOpensAsOpenWouldAfterTheSaveQuestion)
{
    const QString first = WritePicture(QStringLiteral("a.png"), 64, 48);
    const QString second = WritePicture(QStringLiteral("b.png"), 30, 20);
    OpenPicture(first);
    window->MenuAction(CMainDlg::Invert)->trigger();
    const std::unique_ptr<QMimeData> data(FilesData({second}));

    prompts.questionAnswers.push_back(CDocumentPrompts::Answer::Cancel);
    Drop(*window, *data);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("文件打开失败"));
    EXPECT_EQ(window->windowTitle(), first);
    EXPECT_TRUE(Doc().IsModified());

    prompts.questionAnswers.push_back(CDocumentPrompts::Answer::No);
    Drop(*window, *data);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("文件打开成功"));
    EXPECT_EQ(window->windowTitle(), second);
    EXPECT_EQ(window->Canvas()->GetScrollSizes(), QSize(30, 20));
    EXPECT_EQ(prompts.questions.size(), 2);
    EXPECT_TRUE(prompts.openFilterLists.size() == 1); // only Ctrl+O showed the file dialog
}

TEST_F(MainWindowTest, DroppingSeveralFilesOrNoFileIsRefusedAsAFailedOpen)
{
    const QString first = WritePicture(QStringLiteral("a.png"));
    const std::unique_ptr<QMimeData> two(FilesData({first, WritePicture(QStringLiteral("b.png"))}));
    auto text = std::make_unique<QMimeData>();
    text->setText(first);
    for (const QMimeData* data :
         {static_cast<const QMimeData*>(two.get()), static_cast<const QMimeData*>(text.get())}) {
        Popup().ShowMessage(NoticeKind::Success, QString());
        Drop(*window, *data);
        EXPECT_EQ(Popup().MessageText(), QStringLiteral("文件打开失败"));
        EXPECT_FALSE(Doc().IsLoaded());
    }
}

TEST_F(MainWindowTest, OpeningANamedFileReportsAsOpen)
{
    window->OpenFile(dir.filePath(QStringLiteral("missing.png")));
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("文件打开失败"));
    const QString path = WritePicture(QStringLiteral("a.bmp"));
    window->OpenFile(path);
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("文件打开成功"));
    EXPECT_EQ(window->windowTitle(), path);
    EXPECT_TRUE(prompts.openFilterLists.isEmpty());
}

TEST_F(MainWindowTest, ToolButtonsNameTheirItemAndTheKeyBoundToIt)
{
    const std::pair<int, const char*> tips[] = {{1014, "指针(Ctrl+L)"},
                                                {1015, "矩形区域选择(Ctrl+R)"},
                                                {1016, "椭圆区域选择(Ctrl+E)"},
                                                {1017, "多边形区域选择(Ctrl+P)"},
                                                {1018, "任意形状区域选择(Ctrl+A)"}};
    for (const auto& [control, tip] : tips)
        EXPECT_EQ(window->ToolbarButton(control)->toolTip(), QString::fromUtf8(tip)) << control;
}
