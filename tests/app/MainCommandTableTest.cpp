#include "MainWindowFixture.h"

#include "app/MainCommands.h"
#include "widgets/CImageButton.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <functional>
#include <ostream>
#include <string>

namespace {

// What a command leaves that the user sees: the popup's message, the checked menu items, whether
// the window is still open, the title of the modal dialog it brought up and the canvas's zoom.
struct Outcome
{
    QString message;
    QStringList checked;
    bool open = true;
    QString dialog;
    double zoom = 1;

    bool operator==(const Outcome&) const = default;
};

void PrintTo(const Outcome& o, std::ostream* os)
{
    *os << "message '" << o.message.toStdString() << "', checked " << o.checked.join(QLatin1Char(',')).toStdString()
        << (o.open ? ", open" : ", closed") << ", dialog '" << o.dialog.toStdString() << "', zoom " << o.zoom;
}

class MainCommandTableTest : public MainWindowTest, public ::testing::WithParamInterface<std::size_t>
{
protected:
    const MainCommand& Row() const { return MainCommands()[GetParam()]; }

    // Runs `route` from the same start each time and closes any dialog it opens.
    Outcome Observe(const std::function<void()>& route)
    {
        Restart();
        Outcome outcome;
        QTimer::singleShot(0, window.get(), [&outcome] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                outcome.dialog = dialog->windowTitle();
                dialog->close();
            }
        });
        route();
        QCoreApplication::processEvents(); // the timer, when no dialog ran it
        outcome.message = window->Popup() ? window->Popup()->MessageText() : QString();
        for (QAction* action : window->MenuBar()->findChildren<QAction*>()) {
            if (action->isChecked())
                outcome.checked.append(action->objectName());
        }
        outcome.open = window->isVisible();
        outcome.zoom = window->Canvas()->GetZoom().Value();
        return outcome;
    }

    // Open, active, no item checked and a marker in the popup (gone once Exit has closed it).
    void Restart()
    {
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        for (QAction* action : window->MenuBar()->findChildren<QAction*>())
            action->setChecked(false);
        window->Canvas()->ZoomAt({1, 2}, {}); // so that each zoom command changes it

        if (window->Popup())
            window->Popup()->ShowMessage(NoticeKind::Warning, QStringLiteral("before"));
    }
};

} // namespace

// Each of the row's menu item, button and key does what the command does, and that shows.
TEST_P(MainCommandTableTest, ItsMenuItemButtonAndKeyRunTheCommand)
{
    const MainCommand& row = Row();
    // Zoom shows only with a picture, one larger than the window so that fitting changes it.
    if (row.menu == MainMenu::View)
        OpenPicture(WritePicture(QStringLiteral("large.png"), 3000, 2000));
    const Outcome nothing = Observe([] {});
    const Outcome expected = Observe([&] { window->RunCommand(row.id); });
    ASSERT_NE(expected, nothing);

    QAction* action = window->MenuAction(row.id);
    ASSERT_NE(action, nullptr);
    QMenu* menu = window->MenuBar()->actions().value(static_cast<int>(row.menu))->menu();
    EXPECT_TRUE(menu->actions().contains(action));
    EXPECT_EQ(Observe([&] { action->trigger(); }), expected) << "menu item";

    if (row.button.control != 0) {
        CImageButton* button = window->ToolbarButton(row.button.control);
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(Observe([&] { QTest::mouseClick(button, Qt::LeftButton); }), expected) << "button";
    }
    if (row.HasKey()) {
        const QKeyCombination key = row.key;
        EXPECT_EQ(Observe([&] { QTest::keyClick(window.get(), key.key(), key.keyboardModifiers()); }), expected)
            << "key";
    }
    if (row.otherKey.key() != Qt::Key_unknown) {
        const QKeyCombination key = row.otherKey;
        EXPECT_EQ(Observe([&] { QTest::keyClick(window.get(), key.key(), key.keyboardModifiers()); }), expected)
            << "other key";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryRow, MainCommandTableTest, ::testing::Range<std::size_t>(0, MainCommands().size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                             return "Command" + std::to_string(MainCommands()[info.param].id);
                         });
