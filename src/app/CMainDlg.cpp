#include "app/CMainDlg.h"

#include "app/CDeferredQuestions.h"
#include "app/CFilePrompts.h"
#include "app/CMainApp.h"
#include "app/MainCommands.h"
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
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QIcon>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QShortcut>
#include <QTimer>

#include <algorithm>
#include <iterator>
#include <variant>

namespace {

constexpr QRect frameUnits(0, 0, 368, 28);
constexpr QSize windowUnits(414, 237);

// The one local file a drop carries, or nothing.
std::optional<QString> DroppedFile(const QMimeData& data)
{
    const QList<QUrl> urls = data.urls();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return std::nullopt;
    return urls.first().toLocalFile();
}

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
    setAcceptDrops(true);

    questions = new CDeferredQuestions(this);
    updateCheck = new CUpdateCheck(
        updateEndpoint, [this](const QUrl& address) { OfferUpdate(address); }, this);
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
    std::array<QMenu*, std::size(mainMenuTitles)> menus{};
    for (std::size_t i = 0; i < menus.size(); ++i)
        menus[i] = menuBar->addMenu(QString::fromUtf8(mainMenuTitles[i]));
    for (const MainCommand& row : MainCommands())
        AddMenuItem(menus[static_cast<std::size_t>(row.menu)], row);
}

// Qt shows the text after the tab as the key label. No QAction shortcut is set, so the label and
// the binding may differ.
void CMainDlg::AddMenuItem(QMenu* menu, const MainCommand& row)
{
    if (row.separatorBefore)
        menu->addSeparator();
    QAction* action = menu->addAction(row.MenuText());
    const int command = row.id;
    action->setObjectName(QStringLiteral("action%1").arg(command));
    action->setCheckable(std::holds_alternative<SelectionKind>(row.handler)); // the chosen tool's mark
    connect(action, &QAction::triggered, this, [this, command] { RunCommand(command); });
    actions.insert(command, action);
}

void CMainDlg::BindShortcuts()
{
    for (const MainCommand& row : MainCommands()) {
        if (row.HasKey())
            Bind(QKeySequence(row.key), row.id);
        if (row.otherKey.key() != Qt::Key_unknown)
            Bind(QKeySequence(row.otherKey), row.id);
    }
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
    for (const MainCommand& row : MainCommands()) {
        if (row.button.control != 0)
            AddButton(row.button, row.id, row.ButtonToolTip());
    }
}

void CMainDlg::AddButton(const MainButton& entry, int command, const QString& toolTip)
{
    const QRect place = DialogUnits::ToPixels(QRect(entry.left, 8, 16, 16));
    const int side = std::max(16, std::min(place.width(), place.height()) - 8);
    auto* button = new CImageButton(QString::fromLatin1(entry.picture), QSize(side, side), toolTip, client);
    button->setObjectName(QStringLiteral("button%1").arg(entry.control));
    button->setGeometry(place);
    connect(button, &QAbstractButton::clicked, this, [this, command] { RunCommand(command); });
    buttons.insert(entry.control, button);
    // The menu item of the same command shows the button's picture.
    if (QAction* action = actions.value(command))
        action->setIcon(button->icon());
}

// Commands do nothing until the canvas exists.
void CMainDlg::RunCommand(int command)
{
    if (const MainCommand* row = FindMainCommand(command); row && canvas)
        Run(*row);
}

void CMainDlg::Run(const MainCommand& row)
{
    if (const auto* handler = std::get_if<WindowHandler>(&row.handler))
        (this->**handler)();
    else if (const auto* effect = std::get_if<EffectHandler>(&row.handler))
        OnEffect(*effect);
    else
        SelectTool(std::get<SelectionKind>(row.handler));
}

void CMainDlg::SelectTool(SelectionKind kind)
{
    for (const MainCommand& row : MainCommands()) {
        if (const auto* tool = std::get_if<SelectionKind>(&row.handler)) {
            buttons.value(row.button.control)->SetPushed(*tool == kind);
            actions.value(row.id)->setChecked(*tool == kind);
        }
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

// Anything may be dropped, so that what cannot be opened is refused in words.
void CMainDlg::dragEnterEvent(QDragEnterEvent* event)
{
    event->acceptProposedAction();
}

void CMainDlg::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    const std::optional<QString> path = DroppedFile(*event->mimeData());
    if (!path) {
        Notify(NoticeKind::Failure, QStringLiteral("文件打开失败"));
        return;
    }
    // After the drop has ended, so the save question does not hold the dragging program.
    QTimer::singleShot(0, this, [this, file = *path] { OpenFile(file); });
}

// QDialog's own handling would call reject(), which does nothing here.
void CMainDlg::closeEvent(QCloseEvent* event)
{
    CImageDoc& doc = Document();
    if (doc.IsLoaded() && !doc.CloseWithPrompt()) {
        // A cancelled question keeps the window quietly; a failed save must not pass unnoticed.
        if (!IsCancellation(doc.GetError()))
            Notify(NoticeKind::Failure, doc.GetErrorText());
        event->ignore();
        return;
    }
    popup.reset();
    done(0);
    event->accept();
}
