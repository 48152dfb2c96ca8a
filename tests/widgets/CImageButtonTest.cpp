#include "widgets/CImageButton.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

TEST(ImageButtonTest, ShowsThePictureWithHoverHighlightAndTooltip)
{
    CImageButton button(QStringLiteral("open"), QSize(24, 24), QStringLiteral("打开...(Ctrl+O)"));
    EXPECT_TRUE(button.autoRaise());
    EXPECT_EQ(button.toolTip(), QStringLiteral("打开...(Ctrl+O)"));
    EXPECT_EQ(button.iconSize(), QSize(24, 24));
    EXPECT_FALSE(button.icon().pixmap(QSize(24, 24)).isNull());
    EXPECT_FALSE(button.IsPushed());

    CImageButton tool(QStringLiteral("tool-pointer"), QSize(24, 24), QString());
    EXPECT_TRUE(tool.toolTip().isEmpty());
}

TEST(ImageButtonTest, ClicksReportButNeverChangeThePushedLook)
{
    CImageButton button(QStringLiteral("tool-rectangle"), QSize(24, 24), QString());
    button.resize(32, 32);
    QSignalSpy clicks(&button, &QAbstractButton::clicked);

    button.SetPushed(true);
    EXPECT_TRUE(button.IsPushed());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_TRUE(button.IsPushed());

    button.SetPushed(false);
    EXPECT_FALSE(button.IsPushed());
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_FALSE(button.IsPushed());
    EXPECT_EQ(clicks.count(), 2);
}

TEST(ImageButtonTest, ClickingLeavesTheKeyboardFocusWhereItWas)
{
    QWidget window;
    auto* edit = new QLineEdit(&window);
    auto* button = new CImageButton(QStringLiteral("save"), QSize(24, 24), QStringLiteral("保存(Ctrl+S)"), &window);
    auto* layout = new QHBoxLayout(&window);
    layout->addWidget(edit);
    layout->addWidget(button);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    edit->setFocus();

    EXPECT_EQ(button->focusPolicy(), Qt::NoFocus);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(QApplication::focusWidget(), edit);
}

} // namespace
