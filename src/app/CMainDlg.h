#pragma once

#include "dialogs/CCanvasHost.h"
#include "dialogs/EffectCommand.h"
#include "notify/NoticeKind.h"
#include "selection/SelectionKind.h"

#include <QDialog>
#include <QHash>
#include <QString>
#include <QUrl>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>

class CDeferredQuestions;
class CDocumentPrompts;
class CDrawView;
class CEffectPrompts;
class CFilePrompts;
class CImageButton;
class CImageDoc;
class CMainDlg;
class CNotifyPopup;
class CUpdateCheck;
struct EffectHandler;
struct MainButton;
struct MainCommand;
class QAction;
class QGroupBox;
class QKeySequence;
class QMenu;
class QMenuBar;

// Runs the effect dialog of a command modally on the main window and returns how it ended (100
// confirmed, anything else cancelled), or nothing when there is no dialog for the command. The
// window's own runner shows the effect dialogs; tests put others in its place.
using EffectDialogRunner = std::function<std::optional<int>(CMainDlg&, EffectCommand)>;

// The main window: menu, toolbar strip and canvas. It routes every command to the document and
// reports the outcome in the popup. Run with exec(); it ends with 0 when closed.
class CMainDlg : public QDialog, public CCanvasHost
{
    Q_OBJECT

public:
    // Command numbers of the menu items (the toolbar buttons and keys run the same commands). Each
    // has a row in MainCommands(), which gives its item, key, button and handler.
    enum Command : int
    {
        Open = 32771,
        Save = 32772,
        SaveAs = 32773,
        CloseFile = 32774,
        Exit = 32775,
        Undo = 32776,
        Redo = 32777,
        Copy = 32792,
        ToolPointer = 32784,
        ToolRectangle = 32778,
        ToolEllipse = 32779,
        ToolPolygon = 32780,
        ToolFreeform = 32781,
        Gray = 32782,
        Invert = 32785,
        Brightness = 32786,
        Rgb = 32787,
        Line = 32788,
        Dot = 32789,
        ColorFilter = 32790,
        SolidFill = 32791,
        Threshold = 32793,
        About = 32783,
        ZoomIn = 32794,
        ZoomOut = 32795,
        ActualSize = 32796,
        FitWindow = 32797,
    };

    // Asks `updateEndpoint` once whether a newer version exists (an empty address fails at once).
    explicit CMainDlg(QWidget* parent = nullptr, const QUrl& updateEndpoint = DefaultUpdateEndpoint());
    static QUrl DefaultUpdateEndpoint();
    ~CMainDlg() override;

    // The canvas, which owns the document; the effect dialogs reach the picture through it.
    CDrawView* Canvas() const override { return canvas; }
    // Shown as a failure in the popup, which stays above the dialog.
    void PreviewFailed(const QString& reason) override { Notify(NoticeKind::Failure, reason); }
    CImageDoc& Document() const;
    // Null once the window has been closed.
    CNotifyPopup* Popup() const { return popup.get(); }

    // Pushes the tool's button and checks its menu item, releasing the others; tells the canvas
    // only while an image is loaded.
    void SelectTool(SelectionKind kind);

    void SetEffectDialogRunner(EffectDialogRunner runner) { effectDialogs = std::move(runner); }
    // For tests: answers the effect dialogs' colour choices, picks and refusals with `prompts`
    // (not owned, outlives the window) instead of the window's own; null brings those back.
    void SetEffectPrompts(CEffectPrompts* prompts);
    // For tests: what opens an offered download address (the user's default handler otherwise).
    void SetUrlOpener(std::function<void(const QUrl&)> opener) { urlOpener = std::move(opener); }
    // For tests: answers the document's dialogs with `prompts` (not owned, outlives the window)
    // instead of the window's own; null brings the window's own back.
    void SetPrompts(CDocumentPrompts* prompts);

    // Opens `path` as Open does once the user has chosen it: the save question first, the same
    // texts after. The command line and a file dropped on the window come this way.
    void OpenFile(const QString& path);

    // Runs a command as its menu item, key or button does.
    void RunCommand(int command);
    QAction* MenuAction(int command) const { return actions.value(command); }
    // Toolbar buttons by control number (1001 to 1007, 1014 to 1018).
    CImageButton* ToolbarButton(int control) const { return buttons.value(control); }
    QMenuBar* MenuBar() const { return menuBar; }

public Q_SLOTS:
    // Enter and Esc never end the main window; only closing does.
    void accept() override {}
    void reject() override {}

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    // The command table names the handlers below.
    friend std::span<const MainCommand> MainCommands();

    void BuildMenu();
    void AddMenuItem(QMenu* menu, const MainCommand& row);
    void BindShortcuts();
    void Bind(const QKeySequence& keys, int command);
    void BuildToolbar();
    void AddButton(const MainButton& entry, int command, const QString& toolTip);
    void LayOut();
    void Run(const MainCommand& row);

    // Command handlers.
    void OnOpen();
    void ReportOpen(bool opened);
    void OnSave();
    void OnSaveAs();
    void OnCloseFile();
    void OnExit();
    void OnUndo();
    void OnRedo();
    void OnCopy();
    void OnInvert();
    // Zoom says nothing in the popup and does nothing while no picture is open.
    void OnZoomIn();
    void OnZoomOut();
    void OnActualSize();
    void OnFitWindow();
    void OnEffect(const EffectHandler& effect);
    // Runs the command's effect dialog modally and returns how it ended.
    int ExecEffectDialog(EffectCommand command);
    void OnAbout();
    // A newer version exists: asks, once the user can answer, whether to download it and opens
    // `address` on Yes.
    void OfferUpdate(const QUrl& address);

    // True when an image is loaded; otherwise shows `refusal` as a warning.
    bool Guard(const QString& refusal);
    void Notify(NoticeKind kind, const QString& text);
    // Reports the outcome of a document operation that leaves its reason in errorText.
    void Report(bool done, const QString& success);
    // Says, once a picture, that the history gave up its oldest steps for want of disk.
    void WarnOfDroppedSteps();
    // Brings scroll sizes and caption in line with an emptied document (it empties itself when a
    // written file cannot be read back) and repaints the canvas.
    void Repaint();

    QMenuBar* menuBar = nullptr;
    QWidget* client = nullptr;          // everything below the menu bar
    std::array<QGroupBox*, 2> frames{}; // 1000 and 1008: the toolbar strip's frame
    CDrawView* canvas = nullptr;
    std::unique_ptr<CNotifyPopup> popup;
    std::unique_ptr<CFilePrompts> filePrompts;
    std::unique_ptr<CEffectPrompts> ownEffectPrompts;
    CEffectPrompts* effectPrompts = nullptr;
    QHash<int, QAction*> actions;
    QHash<int, CImageButton*> buttons;
    EffectDialogRunner effectDialogs;
    std::function<void(const QUrl&)> urlOpener;
    CDeferredQuestions* questions = nullptr; // child
    CUpdateCheck* updateCheck = nullptr;
};
