#include "app/CSplashDlg.h"

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
