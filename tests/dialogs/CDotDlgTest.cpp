#include "DialogTestSupport.h"

#include "dialogs/CDotDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

namespace {

class DotDlg : public EffectDialogTest
{
protected:
    void SetUp() override
    {
        EffectDialogTest::SetUp();
        dialog = std::make_unique<CDotDlg>(&host, host, prompts);
        Activate(dialog.get());
        leftRight = Find<QLineEdit>(dialog.get(), 1051);
        topBottom = Find<QLineEdit>(dialog.get(), 1044);
    }

    void ExpectDots(int lr, int tb, std::uint32_t color = 0, int translucency = 255)
    {
        ExpectPreview([=](CImageDoc& doc) { return doc.ApplyDots(lr, tb, color, translucency); });
    }

    std::unique_ptr<CDotDlg> dialog;
    QLineEdit* leftRight = nullptr;
    QLineEdit* topBottom = nullptr;
};

} // namespace

TEST_F(DotDlg, StartsWithOnePixelSpacingsBlackAndOpaque)
{
    EXPECT_EQ(leftRight->text(), QStringLiteral("1"));
    EXPECT_EQ(topBottom->text(), QStringLiteral("1"));
    EXPECT_EQ(Find<QLabel>(dialog.get(), 1040)->text(), QStringLiteral("半透明度:255"));
    ExpectDots(1, 1);
}

TEST_F(DotDlg, FieldsAndArrowsStepTheirOwnSpacing)
{
    Retype(leftRight, QStringLiteral("6"));
    ExpectDots(6, 1);
    Find<QScrollBar>(dialog.get(), 1046)->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(topBottom->text(), QStringLiteral("2"));
    ExpectDots(6, 2);
    Find<QScrollBar>(dialog.get(), 1045)->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(leftRight->text(), QStringLiteral("5"));
    ExpectDots(5, 2);
}

// Top-bottom is read first: a refused top-bottom field leaves the left-right one unread.
TEST_F(DotDlg, ReadingStopsAtTheFirstRefusedField)
{
    topBottom->setText(QStringLiteral("abc"));
    Retype(leftRight, QStringLiteral("9"));
    EXPECT_EQ(prompts.refusals.last(), QStringLiteral("请键入一个整数。"));
    EXPECT_TRUE(topBottom->hasFocus());
    ExpectDots(1, 1);

    topBottom->setText(QStringLiteral("3"));
    Retype(leftRight, QStringLiteral("4000"));
    EXPECT_EQ(prompts.refusals.last(), QStringLiteral("“请填入一个在0和3000之间的整数。”"));
    EXPECT_EQ(leftRight->text(), QStringLiteral("1"));
    ExpectDots(1, 3);
}

TEST_F(DotDlg, ColourAndTranslucencyPreview)
{
    prompts.chooserAnswers = {0x0000FF00};
    QTest::mouseClick(Find<QPushButton>(dialog.get(), 1036), Qt::LeftButton);
    ExpectDots(1, 1, 0x0000FF00);
    QTest::keyClick(Find<QSlider>(dialog.get(), 1041), Qt::Key_Home);
    EXPECT_EQ(Find<QLabel>(dialog.get(), 1040)->text(), QStringLiteral("半透明度:0"));
    ExpectDots(1, 1, 0x0000FF00, 0);
}
