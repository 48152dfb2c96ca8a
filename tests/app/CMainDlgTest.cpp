#include "MainWindowFixture.h"

#include "widgets/CImageButton.h"

#include <QAction>
#include <QFile>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>

namespace {

CImageButton* Button(CMainDlg& window, int control)
{
    return window.ToolbarButton(control);
}

} // namespace

TEST_F(MainWindowTest, StartsMaximizedWithThePointerAndAnEmptyCanvas)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Quorvel"));
    EXPECT_TRUE(window->windowState() & Qt::WindowMaximized);
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_TRUE(Button(*window, 1014)->IsPushed());
    EXPECT_TRUE(window->MenuAction(CMainDlg::ToolPointer)->isChecked());
    EXPECT_EQ(window->Canvas()->GetScrollSizes(), QSize(0, 0));
    for (const int control : {1001, 1002, 1003, 1004, 1005, 1006, 1007, 1014, 1015, 1016, 1017, 1018})
        EXPECT_NE(Button(*window, control), nullptr) << control;
    EXPECT_EQ(Button(*window, 1001)->toolTip(), QStringLiteral("打开...(Ctrl+O)"));
    EXPECT_EQ(Button(*window, 1006)->toolTip(), QStringLiteral("关于作者..."));
}

TEST_F(MainWindowTest, MenuTextsKeepTheirKeyNamesAndSetNoActionShortcut)
{
    const std::pair<int, const char*> expected[] = {
        {CMainDlg::Open, "打开(&O)...\tCtrl+O"},
        {CMainDlg::Save, "保存(&S)\tCtrl+S"},
        {CMainDlg::SaveAs, "另存为(&A)..."},
        {CMainDlg::CloseFile, "关闭文件(&C)"},
        {CMainDlg::Exit, "退出程序(&X)"},
        {CMainDlg::Undo, "撤消(&Z)\tCtrl+Z"},
        {CMainDlg::Redo, "重复(&Y)\tCtrl+Y"},
        {CMainDlg::Copy, "复制选中区域(&C)\tCtrl+C"},
        {CMainDlg::ToolPointer, "指针(&I)\tCtrl+C"},
        {CMainDlg::ToolRectangle, "矩形区域选择(&R)\tCtrl+R"},
        {CMainDlg::ToolEllipse, "椭圆区域选择(&E)\tCtrl+E"},
        {CMainDlg::ToolPolygon, "多边形区域选择(&P)\tCtrl+P"},
        {CMainDlg::ToolFreeform, "任意形状区域选择(&L)\tCtrl+L"},
        {CMainDlg::Gray, "灰度处理..."},
        {CMainDlg::Invert, "反色处理"},
        {CMainDlg::Brightness, "明暗处理..."},
        {CMainDlg::Rgb, "RGB颜色调整..."},
        {CMainDlg::Line, "线处理..."},
        {CMainDlg::Dot, "点处理..."},
        {CMainDlg::ColorFilter, "颜色过滤..."},
        {CMainDlg::SolidFill, "单色填充..."},
        {CMainDlg::Threshold, "二值化..."},
        {CMainDlg::About, "关于作者(&A)..."},
    };
    for (const auto& [command, text] : expected) {
        QAction* action = window->MenuAction(command);
        ASSERT_NE(action, nullptr) << command;
        EXPECT_EQ(action->text(), QString::fromUtf8(text)) << command;
        EXPECT_TRUE(action->shortcut().isEmpty()) << command;
    }
    // Items whose command has a toolbar button show its picture; the others none.
    for (const int command : {CMainDlg::Open, CMainDlg::Redo, CMainDlg::About, CMainDlg::ToolPolygon})
        EXPECT_FALSE(window->MenuAction(command)->icon().isNull()) << command;
    for (const int command : {CMainDlg::Exit, CMainDlg::Copy, CMainDlg::Invert})
        EXPECT_TRUE(window->MenuAction(command)->icon().isNull()) << command;
    QStringList titles;
    for (QAction* menu : window->MenuBar()->actions())
        titles.append(menu->text());
    EXPECT_EQ(titles,
              (QStringList{QStringLiteral("文件(&F)"), QStringLiteral("编辑(&E)"), QStringLiteral("选择(&S)"),
                           QStringLiteral("查看(&V)"), QStringLiteral("特殊处理(&D)"), QStringLiteral("关于(&A)")}));
}

TEST_F(MainWindowTest, ResizingKeepsTheStripAsWideAsTheWindowAndTheCanvasBelowIt)
{
    window->showNormal();
    window->resize(700, 500);
    QCoreApplication::processEvents();
    const auto* frame = window->findChild<QGroupBox*>(QStringLiteral("frame1000"));
    const auto* frame2 = window->findChild<QGroupBox*>(QStringLiteral("frame1008"));
    ASSERT_NE(frame, nullptr);
    ASSERT_NE(frame2, nullptr);
    EXPECT_EQ(frame->width(), window->width());
    EXPECT_EQ(frame2->width(), window->width());
    const QRect canvas = window->Canvas()->geometry();
    const QWidget* client = window->Canvas()->parentWidget();
    EXPECT_EQ(canvas.top(), frame->height());
    EXPECT_EQ(canvas.width(), window->width());
    EXPECT_EQ(client->mapTo(window.get(), canvas.bottomLeft()).y(), window->height() - 1);
}

TEST_F(MainWindowTest, EnterAndEscDoNotCloseTheWindow)
{
    Press(Qt::Key_Return, Qt::NoModifier);
    Press(Qt::Key_Enter, Qt::NoModifier);
    Press(Qt::Key_Escape, Qt::NoModifier);
    EXPECT_TRUE(window->isVisible());
}

TEST_F(MainWindowTest, ToolChosenWithoutImageMovesOnlyButtonAndCheckMarkAndOpeningResetsAll)
{
    Press(Qt::Key_R);
    EXPECT_TRUE(Button(*window, 1015)->IsPushed());
    EXPECT_FALSE(Button(*window, 1014)->IsPushed());
    EXPECT_TRUE(window->MenuAction(CMainDlg::ToolRectangle)->isChecked());
    EXPECT_FALSE(window->MenuAction(CMainDlg::ToolPointer)->isChecked());
    EXPECT_EQ(window->Canvas()->GetTool(), SelectionKind::None);

    OpenPicture(WritePicture(QStringLiteral("a.png")));
    EXPECT_TRUE(Button(*window, 1014)->IsPushed());
    EXPECT_FALSE(Button(*window, 1015)->IsPushed());
    EXPECT_TRUE(window->MenuAction(CMainDlg::ToolPointer)->isChecked());
    EXPECT_FALSE(window->MenuAction(CMainDlg::ToolRectangle)->isChecked());
    EXPECT_EQ(window->Canvas()->GetTool(), SelectionKind::None);
}

TEST_F(MainWindowTest, ToolKeysMenuAndButtonsKeepCanvasInStepWhileLoaded)
{
    OpenPicture(WritePicture(QStringLiteral("a.png")));
    Press(Qt::Key_E);
    EXPECT_EQ(window->Canvas()->GetTool(), SelectionKind::Ellipse);
    Press(Qt::Key_A);
    EXPECT_EQ(window->Canvas()->GetTool(), SelectionKind::Freeform);
    EXPECT_TRUE(Button(*window, 1018)->IsPushed());
    Press(Qt::Key_L);
    EXPECT_EQ(window->Canvas()->GetTool(), SelectionKind::None);
    EXPECT_TRUE(window->MenuAction(CMainDlg::ToolPointer)->isChecked());

    QTest::mouseClick(Button(*window, 1017), Qt::LeftButton);
    EXPECT_EQ(window->Canvas()->GetTool(), SelectionKind::Polygon);
    EXPECT_TRUE(Button(*window, 1017)->IsPushed());
    // Choosing the checked item again keeps its check mark.
    window->MenuAction(CMainDlg::ToolPolygon)->trigger();
    EXPECT_TRUE(window->MenuAction(CMainDlg::ToolPolygon)->isChecked());
    int pushed = 0;
    for (const int control : {1014, 1015, 1016, 1017, 1018})
        pushed += Button(*window, control)->IsPushed() ? 1 : 0;
    EXPECT_EQ(pushed, 1);
}

TEST_F(MainWindowTest, ClosingWithoutChangesEndsAtOnceWithoutAQuestion)
{
    OpenPicture(WritePicture(QStringLiteral("a.png")));
    EXPECT_TRUE(window->close());
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), 0);
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_EQ(window->Popup(), nullptr);
}

TEST_F(MainWindowTest, ClosingAModifiedImageCancelKeepsItAndNoEndsWithoutWriting)
{
    const QString path = WritePicture(QStringLiteral("a.png"));
    OpenPicture(path);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray before = file.readAll();
    file.close();
    window->MenuAction(CMainDlg::Invert)->trigger();

    prompts.questionAnswers.push_back(CDocumentPrompts::Answer::Cancel);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(Doc().IsLoaded());
    ASSERT_EQ(prompts.questions.size(), 1);
    EXPECT_EQ(prompts.questions.first(), QStringLiteral("询问|是否要保存当前文件: ") + path);

    prompts.questionAnswers.push_back(CDocumentPrompts::Answer::No);
    window->MenuAction(CMainDlg::Exit)->trigger();
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(window->result(), 0);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), before);
}

// A save that fails on closing must not lose the changes silently: the window stays and says why.
TEST_F(MainWindowTest, ClosingWhenTheAnsweredSaveFailsKeepsTheWindowAndSaysSo)
{
    OpenPicture(WritePicture(QStringLiteral("picture.xyz"))); // read as BMP, but never written
    window->MenuAction(CMainDlg::Invert)->trigger();
    prompts.questionAnswers.push_back(CDocumentPrompts::Answer::Yes);
    EXPECT_FALSE(window->close());
    EXPECT_TRUE(window->isVisible());
    EXPECT_TRUE(Doc().IsLoaded());
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("文件保存不成功"));
    EXPECT_EQ(Popup().VisibleSymbol(), static_cast<int>(NoticeKind::Failure));
}
