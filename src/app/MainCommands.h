#pragma once

#include "app/CMainDlg.h"

#include <QKeyCombination>
#include <QString>

#include <span>
#include <variant>

// The menus of the menu bar, in their order on it.
enum class MainMenu
{
    File,
    Edit,
    Select,
    View,
    Effects,
    About,
};

// Indexed by MainMenu; UTF-8.
inline constexpr const char* mainMenuTitles[] = {"文件(&F)", "编辑(&E)",     "选择(&S)",
                                                 "查看(&V)", "特殊处理(&D)", "关于(&A)"};

// A command's toolbar button. Control 0: the command has none.
struct MainButton
{
    int control = 0;
    int left = 0; // dialog units; every button is 16 × 16 at y 8
    const char* picture = nullptr;
    const char* toolTip = ""; // UTF-8; empty: the menu text and the bound key
};

// An effect command runs its dialog. The refusal is shown when no image is loaded, the success
// when the confirmed effect reached the picture.
struct EffectHandler
{
    EffectCommand command;
    const char* refusal; // UTF-8
    const char* success;
};

// What a command runs: a handler of the window, a tool to choose or an effect dialog.
using WindowHandler = void (CMainDlg::*)();
using MainHandler = std::variant<WindowHandler, SelectionKind, EffectHandler>;

// One command of the main window: its menu item, key, toolbar button and handler.
struct MainCommand
{
    CMainDlg::Command id;
    MainMenu menu;
    const char* text; // UTF-8, without the key label
    bool separatorBefore = false;
    QKeyCombination key = Qt::Key_unknown;      // bound to the window; Key_unknown for none
    QKeyCombination otherKey = Qt::Key_unknown; // a second key bound to the same command
    const char* keyLabel = nullptr;             // shown instead of the bound key's name
    MainButton button{};
    MainHandler handler;

    bool HasKey() const { return key.key() != Qt::Key_unknown; }
    // The item's text with the key label after a tab, where Qt shows it as the key.
    QString MenuText() const;
    // The button's own tool tip, else the item's text without its mnemonic and with the key that
    // is really bound, e.g. "矩形区域选择(Ctrl+R)".
    QString ButtonToolTip() const;
};

// Every command of the main window, in menu order; the menu, the toolbar and the keys are built
// from it. A new command is a value in CMainDlg::Command and a row here.
std::span<const MainCommand> MainCommands();
// The row of `id`, or null.
const MainCommand* FindMainCommand(int id);
