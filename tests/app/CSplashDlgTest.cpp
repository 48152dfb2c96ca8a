#include "app/CSplashDlg.h"

#include "app/CAboutDlg.h"

#include <QLabel>
#include <QTest>

#include <gtest/gtest.h>

class SplashTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        splash.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&splash));
    }

    CSplashDlg splash;
};

TEST_F(SplashTest, EndsAtTheSecondTick)
{
    EXPECT_FALSE(splash.windowFlags() & Qt::WindowTitleHint);
    EXPECT_TRUE(splash.windowFlags() & Qt::FramelessWindowHint);
    splash.Tick();
    EXPECT_TRUE(splash.isVisible());
    EXPECT_EQ(splash.Countdown(), 1);
    splash.Tick();
    EXPECT_FALSE(splash.isVisible());
    EXPECT_EQ(splash.result(), 0);
}

TEST_F(SplashTest, DoubleClickEndsAtOnce)
{
    QTest::mouseDClick(&splash, Qt::LeftButton);
    EXPECT_FALSE(splash.isVisible());
    EXPECT_EQ(splash.result(), 0);
}

TEST_F(SplashTest, EscEndsButEnterDoesNothing)
{
    QTest::keyClick(&splash, Qt::Key_Return);
    EXPECT_TRUE(splash.isVisible());
    QTest::keyClick(&splash, Qt::Key_Escape);
    EXPECT_FALSE(splash.isVisible());
}

// With any desktop font, a window whose content is a picture shows it without margins.
TEST(PictureWindows, TakeExactlyThePicturesSize)
{
    const CSplashDlg splash;
    EXPECT_EQ(splash.size(), QSize(438, 150));
    EXPECT_EQ(splash.findChild<QLabel*>(QStringLiteral("picture159"))->geometry(), splash.rect());
    const CAboutDlg about;
    EXPECT_EQ(about.size(), QSize(444, 202));
    EXPECT_EQ(about.findChild<QLabel*>(QStringLiteral("picture149"))->geometry(), about.rect());
}
