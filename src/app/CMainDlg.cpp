#include "app/CMainDlg.h"

#include "app/CDeferredQuestions.h"
#include "app/CFilePrompts.h"
#include "app/CMainApp.h"
#include "canvas/CDrawView.h"
#include "dialogs/CDialogPrompts.h"
#include "notify/CNotifyPopup.h"
#include "notify/CUpdateCheck.h"
#include "widgets/CImageButton.h"
#include "widgets/DialogUnits.h"
#include "widgets/Pictures.h"

#include <QAction>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QGroupBox>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QShortcut>

#include <algorithm>
#include <iterator>

namespace {

struct ToolbarEntry
{
    int control;
    int left; // dialog units; every button is 16 × 16 at y 8
    const char* picture;
    const char* toolTip; // UTF-8, may be empty
    int command;
};

constexpr ToolbarEntry toolbarEntries[] = {
    {1001, 4, "open", "打开...(Ctrl+O)", CMainDlg::Open},
    {1002, 20, "save", "保存(Ctrl+S)", CMainDlg::Save},
    {1003, 36, "save-as", "另存为...", CMainDlg::SaveAs},
    {1007, 52, "close", "关闭文件", CMainDlg::CloseFile},
    {1004, 72, "undo", "撤消(Ctrl+Z)", CMainDlg::Undo},
    {1005, 88, "redo", "重复(Ctrl+Y)", CMainDlg::Redo},
    {1006, 200, "about", "关于作者...", CMainDlg::About},
    {1014, 112, "tool-pointer", "", CMainDlg::ToolPointer},
    {1015, 128, "tool-rectangle", "", CMainDlg::ToolRectangle},
    {1016, 144, "tool-ellipse", "", CMainDlg::ToolEllipse},
    {1017, 160, "tool-polygon", "", CMainDlg::ToolPolygon},
    {1018, 176, "tool-freehand", "", CMainDlg::ToolFreeform},
};

struct ToolEntry
{
    int control;
    int command;
};

// Indexed by tool number (SelectionKind).
constexpr ToolEntry toolEntries[] = {
    {1014, CMainDlg::ToolPointer}, {1015, CMainDlg::ToolRectangle}, {1016, CMainDlg::ToolEllipse},
    {1017, CMainDlg::ToolPolygon}, {1018, CMainDlg::ToolFreeform},
};

constexpr QRect frameUnits(0, 0, 368, 28);
constexpr QSize windowUnits(414, 237);

QIcon ApplicationIcon()
{
    QIcon icon;
    for (const int side : {16, 24, 32, 48, 64})
        icon.addPixmap(Pictures::Masked(QStringLiteral("quorvel"), QSize(side, side)));
    return icon;
}

} // namespace

CMainDlg::CMainDlg(QWidget* parent, const QUrl& updateEndpoint)
    : QDialog(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                          Qt::WindowCloseButtonHint),
      filePrompts(std::make_unique<CFilePrompts>(this)), ownEffectPrompts(std::make_unique<CDialogPrompts>(appCaption)),
      effectPrompts(ownEffectPrompts.get()), urlOpener([](const QUrl& url) { QDesktopServices::openUrl(url); })
{
    setObjectName(QStringLiteral("mainWindow"));
    setFont(DialogUnits::DialogFont());
    setWindowIcon(ApplicationIcon());

    BuildMenu();
    BindShortcuts();
    client = new QWidget(this);
    BuildToolbar();
    SelectTool(SelectionKind::None);

    canvas = new CDrawView(client);
    canvas->setObjectName(QStringLiteral("canvas"));
    canvas->SetScrollSizes(QSize(0, 0));
    Document().SetOwner(filePrompts.get());

    resize(DialogUnits::ToPixels(windowUnits));
    setWindowState(windowState() | Qt::WindowMaximized);
    popup = std::make_unique<CNotifyPopup>(this);
    setWindowTitle(appCaption);
    LayOut();

    questions = new CDeferredQuestions(this);
    updateCheck = new CUpdateCheck(updateEndpoint, [this](const QUrl& address) { OfferUpdate(address); }, this);
    Notify(NoticeKind::Success, QStringLiteral("正在检测更新..."));
}

QUrl CMainDlg::DefaultUpdateEndpoint()
{
    return CUpdateCheck::DefaultEndpoint();
}

// The offer may arrive while a file is being read or written, or while a dialog is open: asked
// then, its box could not be answered or would stack a loop inside another.
void CMainDlg::OfferUpdate(const QUrl& address)
{
    questions->Ask([this, address] {
        const auto answer = QMessageBox::question(
            this, appCaption, QStringLiteral("软件有新版本了,是否要下载新的版本?"), QMessageBox::Yes | QMessageBox::No);
        if (answer == QMessageBox::Yes)
            urlOpener(address);
    });
}

CMainDlg::~CMainDlg()
{
    // The document keeps a pointer to the prompts, which go before the canvas does.
    Document().SetOwner(nullptr);
}

CImageDoc& CMainDlg::Document() const
{
    return canvas->doc;
}

void CMainDlg::BuildMenu()
{
    menuBar = new QMenuBar(this);
    menuBar->setNativeMenuBar(false); // inside the window, so the strip below it stays in place

    QMenu* file = menuBar->addMenu(QStringLiteral("文件(&F)"));
    AddMenuItem(file, Open, QStringLiteral("打开(&O)...\tCtrl+O"));
    AddMenuItem(file, Save, QStringLiteral("保存(&S)\tCtrl+S"));
    AddMenuItem(file, SaveAs, QStringLiteral("另存为(&A)..."));
    AddMenuItem(file, CloseFile, QStringLiteral("关闭文件(&C)"));
    file->addSeparator();
    AddMenuItem(file, Exit, QStringLiteral("退出程序(&X)"));

    QMenu* edit = menuBar->addMenu(QStringLiteral("编辑(&E)"));
    AddMenuItem(edit, Undo, QStringLiteral("撤消(&Z)\tCtrl+Z"));
    AddMenuItem(edit, Redo, QStringLiteral("重复(&Y)\tCtrl+Y"));
    edit->addSeparator();
    AddMenuItem(edit, Copy, QStringLiteral("复制选中区域(&C)\tCtrl+C"));

    // The pointer and freehand items name other keys than they are bound to; the texts stay as
    // they are and BindShortcuts makes the bindings.
    QMenu* select = menuBar->addMenu(QStringLiteral("选择(&S)"));
    AddMenuItem(select, ToolPointer, QStringLiteral("指针(&I)\tCtrl+C"))->setCheckable(true);
    AddMenuItem(select, ToolRectangle, QStringLiteral("矩形区域选择(&R)\tCtrl+R"))->setCheckable(true);
    AddMenuItem(select, ToolEllipse, QStringLiteral("椭圆区域选择(&E)\tCtrl+E"))->setCheckable(true);
    AddMenuItem(select, ToolPolygon, QStringLiteral("多边形区域选择(&P)\tCtrl+P"))->setCheckable(true);
    AddMenuItem(select, ToolFreeform, QStringLiteral("任意形状区域选择(&L)\tCtrl+L"))->setCheckable(true);

    QMenu* effects = menuBar->addMenu(QStringLiteral("特殊处理(&D)"));
    AddMenuItem(effects, Gray, QStringLiteral("灰度处理..."));
    AddMenuItem(effects, Invert, QStringLiteral("反色处理"));
    AddMenuItem(effects, Brightness, QStringLiteral("明暗处理..."));
    AddMenuItem(effects, Rgb, QStringLiteral("RGB颜色调整..."));
    effects->addSeparator();
    AddMenuItem(effects, Line, QStringLiteral("线处理..."));
    AddMenuItem(effects, Dot, QStringLiteral("点处理..."));
    AddMenuItem(effects, ColorFilter, QStringLiteral("颜色过滤..."));
    AddMenuItem(effects, SolidFill, QStringLiteral("单色填充..."));
    AddMenuItem(effects, Threshold, QStringLiteral("二值化..."));

    QMenu* about = menuBar->addMenu(QStringLiteral("关于(&A)"));
    AddMenuItem(about, About, QStringLiteral("关于作者(&A)..."));

    handlers = {
        {Open, [this] { OnOpen(); }},
        {Save, [this] { OnSave(); }},
        {SaveAs, [this] { OnSaveAs(); }},
        {CloseFile, [this] { OnCloseFile(); }},
        {Exit, [this] { close(); }},
        {Undo, [this] { OnUndo(); }},
        {Redo, [this] { OnRedo(); }},
        {Copy, [this] { OnCopy(); }},
        {ToolPointer, [this] { SelectTool(SelectionKind::None); }},
        {ToolRectangle, [this] { SelectTool(SelectionKind::Rectangle); }},
        {ToolEllipse, [this] { SelectTool(SelectionKind::Ellipse); }},
        {ToolPolygon, [this] { SelectTool(SelectionKind::Polygon); }},
        {ToolFreeform, [this] { SelectTool(SelectionKind::Freeform); }},
        {Gray, [this] { OnEffect(EffectCommand::Gray); }},
        {Invert, [this] { OnInvert(); }},
        {Brightness, [this] { OnEffect(EffectCommand::Brightness); }},
        {Rgb, [this] { OnEffect(EffectCommand::Rgb); }},
        {Line, [this] { OnEffect(EffectCommand::Line); }},
        {Dot, [this] { OnEffect(EffectCommand::Dot); }},
        {ColorFilter, [this] { OnEffect(EffectCommand::ColorFilter); }},
        {SolidFill, [this] { OnEffect(EffectCommand::SolidFill); }},
        {Threshold, [this] { OnEffect(EffectCommand::Threshold); }},
        {About, [this] { OnAbout(); }},
    };
}

// Qt shows the text after the tab as the key label. No QAction shortcut is set, so the label and
// the binding may differ.
QAction* CMainDlg::AddMenuItem(QMenu* menu, int command, const QString& text)
{
    QAction* action = menu->addAction(text);
    action->setObjectName(QStringLiteral("action%1").arg(command));
    connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
    actions.insert(command, action);
    return action;
}

void CMainDlg::BindShortcuts()
{
    Bind(QKeySequence(Qt::CTRL | Qt::Key_O), Open);
    Bind(QKeySequence(Qt::CTRL | Qt::Key_S), Save);
    Bind(QKeySequence(Qt::CTRL | Qt::Key_Z), Undo);
    Bind(QKeySequence(Qt::CTRL | Qt::Key_Y), Redo);
    Bind(QKeySequence(Qt::CTRL | Qt::Key_C), Copy);
    Bind(QKeySequence(Qt::CTRL | Qt::Key_L), ToolPointer);
    Bind(QKeySequence(Qt::CTRL | Qt::Key_R), ToolRectangle);
    Bind(QKeySequence(Qt::CTRL | Qt::Key_E), ToolEllipse);
    Bind(QKeySequence(Qt::CTRL | Qt::Key_P), ToolPolygon);
    Bind(QKeySequence(Qt::CTRL | Qt::Key_A), ToolFreeform);
}

void CMainDlg::Bind(const QKeySequence& keys, int command)
{
    auto* shortcut = new QShortcut(keys, this);
    connect(shortcut, &QShortcut::activated, this, [this, command] { RunCommand(command); });
}

void CMainDlg::BuildToolbar()
{
    // Created before the buttons, so that the buttons lie on top of the frame.
    for (std::size_t i = 0; i < frames.size(); ++i) {
        frames[i] = new QGroupBox(client);
        frames[i]->setObjectName(i == 0 ? QStringLiteral("frame1000") : QStringLiteral("frame1008"));
        frames[i]->setGeometry(DialogUnits::ToPixels(frameUnits));
    }
    for (const ToolbarEntry& entry : toolbarEntries) {
        const QRect place = DialogUnits::ToPixels(QRect(entry.left, 8, 16, 16));
        const int side = std::max(16, std::min(place.width(), place.height()) - 8);
        auto* button = new CImageButton(QString::fromLatin1(entry.picture), QSize(side, side),
                                        QString::fromUtf8(entry.toolTip), client);
        button->setObjectName(QStringLiteral("button%1").arg(entry.control));
        button->setGeometry(place);
        const int command = entry.command;
        connect(button, &QAbstractButton::clicked, this, [this, command] { RunCommand(command); });
        buttons.insert(entry.control, button);
        // The menu item of the same command shows the button's picture.
        if (QAction* action = actions.value(command))
            action->setIcon(button->icon());
    }
}

// Commands do nothing until the canvas exists.
void CMainDlg::RunCommand(int command)
{
    if (const auto handler = handlers.constFind(command); handler != handlers.cend() && canvas)
        (*handler)();
}

void CMainDlg::SelectTool(SelectionKind kind)
{
    const auto chosen = static_cast<std::size_t>(kind);
    for (std::size_t i = 0; i < std::size(toolEntries); ++i) {
        buttons.value(toolEntries[i].control)->SetPushed(i == chosen);
        actions.value(toolEntries[i].command)->setChecked(i == chosen);
    }
    if (canvas && Document().IsLoaded())
        canvas->SetTool(kind);
}

void CMainDlg::SetPrompts(CDocumentPrompts* prompts)
{
    Document().SetOwner(prompts ? prompts : filePrompts.get());
}

void CMainDlg::SetEffectPrompts(CEffectPrompts* prompts)
{
    effectPrompts = prompts ? prompts : ownEffectPrompts.get();
}

void CMainDlg::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    LayOut();
}

// The frame spans the window's width; the canvas fills everything below it.
void CMainDlg::LayOut()
{
    if (!canvas)
        return;
    const int menuHeight = menuBar->sizeHint().height();
    menuBar->setGeometry(0, 0, width(), menuHeight);
    client->setGeometry(0, menuHeight, width(), std::max(0, height() - menuHeight));
    for (QGroupBox* frame : frames)
        frame->setGeometry(0, 0, client->width(), frame->height());
    const int stripHeight = frames[0]->height();
    canvas->setGeometry(0, stripHeight, client->width(), std::max(0, client->height() - stripHeight));
}

// QDialog's own handling would call reject(), which does nothing here.
void CMainDlg::closeEvent(QCloseEvent* event)
{
    CImageDoc& doc = Document();
    if (doc.IsLoaded() && !doc.CloseWithPrompt()) {
        // A cancelled question keeps the window quietly; a failed save must not pass unnoticed.
        if (doc.GetErrorText() != QStringLiteral("用户取消了关闭文件的操作"))
            Notify(NoticeKind::Failure, doc.GetErrorText());
        event->ignore();
        return;
    }
    popup.reset();
    done(0);
    event->accept();
}
