#include "notify/CNotifyPopup.h"

#include "support/QtPrinters.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

namespace {

const QString SuccessText = QStringLiteral("打开文件成功");
const QString WarningText = QStringLiteral("没有打开任何文件,无法进行灰度处理操作");

// A 1920 × 1080 screen whose bottom 40 rows are the taskbar's; the popup resized to 380 × 80.
class NotifyPopupTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        popup = new CNotifyPopup(&owner);
        popup->SetScreenSource([] {
            return CNotifyPopup::ScreenAreas{QRect(0, 0, 1920, 1080), QRect(0, 0, 1920, 1040)};
        });
        popup->resize(380, 80);
        owner.show();
    }

    void Slide(int ticks)
    {
        for (int i = 0; i < ticks; ++i)
            popup->SlideTick();
    }

    // Runs the slide to its end: every rising tick and the one that starts the hold.
    void SlideToHold()
    {
        while (popup->IsSliding())
            popup->SlideTick();
    }

    QWidget owner;
    CNotifyPopup* popup = nullptr; // owned by `owner`
};

TEST_F(NotifyPopupTest, RisesFromTheTaskbarEdgeOnePixelPerTickThenHoldsAndHides)
{
    popup->ShowMessage(NoticeKind::Success, SuccessText);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->pos(), QPoint(1540, 1040));
    EXPECT_TRUE(popup->IsSliding());
    EXPECT_FALSE(popup->IsHolding());

    for (int tick = 1; tick <= 80; ++tick) {
        popup->SlideTick();
        ASSERT_EQ(popup->pos(), QPoint(1540, 1040 - tick));
    }
    EXPECT_TRUE(popup->IsSliding());

    popup->SlideTick();
    EXPECT_EQ(popup->pos(), QPoint(1540, 960));
    EXPECT_FALSE(popup->IsSliding());
    EXPECT_TRUE(popup->IsHolding());

    for (int expected : {2, 1, 0}) {
        popup->HoldTick();
        EXPECT_EQ(popup->Countdown(), expected);
        EXPECT_TRUE(popup->isVisible());
    }
    popup->HoldTick();
    EXPECT_FALSE(popup->isVisible());
    EXPECT_FALSE(popup->IsHolding());
}

TEST_F(NotifyPopupTest, DoubleClickHidesAtOnceAndTheNextMessageRisesNormally)
{
    popup->ShowMessage(NoticeKind::Success, SuccessText);
    Slide(20);
    QTest::mouseDClick(popup, Qt::LeftButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_FALSE(popup->isVisible());

    // The slide and the hold run out unseen; closing the hidden popup again changes nothing.
    EXPECT_TRUE(popup->IsSliding());
    SlideToHold();
    for (int i = 0; i < 4; ++i)
        popup->HoldTick();
    EXPECT_FALSE(popup->isVisible());
    EXPECT_FALSE(popup->IsHolding());

    popup->ShowMessage(NoticeKind::Failure, QStringLiteral("保存文件失败"));
    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->pos(), QPoint(1540, 1040));
    SlideToHold();
    EXPECT_EQ(popup->pos(), QPoint(1540, 960));
}

TEST_F(NotifyPopupTest, RightButtonDoubleClickKeepsThePopup)
{
    popup->ShowMessage(NoticeKind::Success, SuccessText);
    QTest::mouseDClick(popup, Qt::RightButton, Qt::NoModifier, QPoint(10, 10));
    EXPECT_TRUE(popup->isVisible());
}

TEST_F(NotifyPopupTest, EachKnownKindShowsExactlyItsSymbolAndAnUnknownKindKeepsIt)
{
    const auto symbol = [this](const char* name) { return popup->findChild<QLabel*>(QLatin1String(name)); };
    const auto* message = popup->findChild<QLabel*>(QStringLiteral("label1013"));
    ASSERT_NE(message, nullptr);
    EXPECT_EQ(popup->VisibleSymbol(), -1);

    popup->ShowMessage(NoticeKind::Success, SuccessText);
    EXPECT_EQ(popup->VisibleSymbol(), 0);
    EXPECT_EQ(message->text(), SuccessText);

    popup->ShowMessage(NoticeKind::Warning, WarningText);
    EXPECT_EQ(popup->VisibleSymbol(), 2);
    EXPECT_TRUE(symbol("picture1010")->isHidden());
    EXPECT_TRUE(symbol("picture1011")->isHidden());
    EXPECT_FALSE(symbol("picture1012")->isHidden());
    EXPECT_EQ(symbol("picture1012")->pixmap().size(), QSize(64, 62));
    EXPECT_EQ(popup->MessageText(), WarningText);
    EXPECT_EQ(message->text(), WarningText);

    popup->ShowMessage(7, QStringLiteral("未知"));
    EXPECT_EQ(popup->VisibleSymbol(), 2);
    EXPECT_EQ(message->text(), QStringLiteral("未知"));

    popup->ShowMessage(-1, QString());
    EXPECT_EQ(popup->VisibleSymbol(), 2);
    EXPECT_TRUE(message->text().isEmpty());

    popup->ShowMessage(NoticeKind::Failure, QStringLiteral("保存文件失败"));
    EXPECT_EQ(popup->VisibleSymbol(), 1);
    EXPECT_EQ(symbol("picture1011")->pixmap().size(), QSize(60, 62));
}

TEST_F(NotifyPopupTest, SecondMessageWhileRisingStartsAgainFromTheEdge)
{
    popup->ShowMessage(NoticeKind::Success, SuccessText);
    Slide(30);
    ASSERT_EQ(popup->pos(), QPoint(1540, 1010));

    popup->ShowMessage(NoticeKind::Warning, WarningText);
    EXPECT_EQ(popup->pos(), QPoint(1540, 1040));
    EXPECT_TRUE(popup->IsSliding());
    EXPECT_EQ(popup->Countdown(), 3);
    SlideToHold();
    EXPECT_EQ(popup->pos(), QPoint(1540, 960));
}

TEST_F(NotifyPopupTest, SecondMessageWhileHoldingResetsTheCountdownAndTheHoldKeepsTicking)
{
    popup->ShowMessage(NoticeKind::Success, SuccessText);
    SlideToHold();
    popup->HoldTick();
    popup->HoldTick();
    ASSERT_EQ(popup->Countdown(), 1);

    popup->ShowMessage(NoticeKind::Warning, WarningText);
    EXPECT_EQ(popup->pos(), QPoint(1540, 1040));
    EXPECT_EQ(popup->Countdown(), 3);
    EXPECT_TRUE(popup->IsSliding());
    EXPECT_TRUE(popup->IsHolding());

    // The hold timer counts the fresh countdown down during the new slide.
    popup->HoldTick();
    EXPECT_EQ(popup->Countdown(), 2);
    Slide(40);
    EXPECT_TRUE(popup->isVisible());
    SlideToHold();
    EXPECT_TRUE(popup->IsHolding());
    EXPECT_EQ(popup->Countdown(), 2);
}

TEST(NotifyPopupPlacementTest, UsesTheOwnersScreenWithoutTheHook)
{
    QWidget owner;
    auto* popup = new CNotifyPopup(&owner);
    popup->ShowMessage(NoticeKind::Success, SuccessText);

    const QScreen* screen = owner.screen();
    ASSERT_NE(screen, nullptr);
    const QRect area = screen->geometry();
    const QRect available = screen->availableGeometry();
    EXPECT_EQ(popup->pos(), QPoint(area.x() + area.width() - popup->width(), available.y() + available.height()));
}

TEST(NotifyPopupFocusTest, TheOwnerKeepsTheActiveWindowAndItsFocusWidget)
{
    QWidget owner;
    auto* edit = new QLineEdit(&owner);
    (new QVBoxLayout(&owner))->addWidget(edit);
    owner.show();
    owner.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&owner));
    edit->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), edit);

    auto* popup = new CNotifyPopup(&owner);
    EXPECT_TRUE(popup->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_TRUE(popup->windowFlags().testFlag(Qt::WindowDoesNotAcceptFocus));
    EXPECT_TRUE(popup->windowFlags().testFlag(Qt::Tool));
    popup->ShowMessage(NoticeKind::Success, SuccessText);
    QApplication::processEvents();

    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(QApplication::activeWindow(), &owner);
    EXPECT_EQ(QApplication::focusWidget(), edit);
}

TEST(NotifyPopupFocusTest, AModalDialogOfTheOwnerStaysActive)
{
    QWidget owner;
    owner.show();
    QDialog dialog(&owner);
    dialog.setModal(true);
    dialog.show();
    dialog.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));

    auto* popup = new CNotifyPopup(&owner);
    popup->ShowMessage(NoticeKind::Success, SuccessText);
    QApplication::processEvents();

    EXPECT_TRUE(popup->isVisible());
    EXPECT_EQ(QApplication::activeWindow(), &dialog);
}

} // namespace

// At start-up the first message comes before the main window is mapped: it waits for the window and
// is then shown above it, never taking the focus.
TEST(NotifyPopupStackingTest, AMessageGivenBeforeTheOwnerIsShownAppearsAboveIt)
{
    QWidget owner;
    auto* popup = new CNotifyPopup(&owner);
    EXPECT_TRUE(popup->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_TRUE(popup->windowFlags() & Qt::WindowDoesNotAcceptFocus);
    popup->ShowMessage(NoticeKind::Success, SuccessText);
    EXPECT_FALSE(popup->isVisible()) << "mapped before its owner, it would lie beneath it";
    owner.show();
    owner.activateWindow();
    EXPECT_TRUE(QTest::qWaitFor([&] { return popup->isVisible(); }));
    EXPECT_EQ(popup->MessageText(), SuccessText);
    EXPECT_TRUE(QTest::qWaitForWindowActive(&owner));
}
