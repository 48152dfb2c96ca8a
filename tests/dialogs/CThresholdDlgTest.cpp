#include "DialogTestSupport.h"

#include "dialogs/CThresholdDlg.h"

#include <QCheckBox>
#include <QLabel>
#include <QSlider>

TEST_F(EffectDialogTest, ThresholdStartsAt128AndTheTickReverses)
{
    CThresholdDlg dialog(&host, host);
    auto* caption = Find<QLabel>(&dialog, 1077);
    auto* slider = Find<QSlider>(&dialog, 1025);
    auto* reverse = Find<QCheckBox>(&dialog, 1078);
    EXPECT_EQ(caption->text(), QStringLiteral("当前值:128"));
    EXPECT_EQ(slider->minimum(), 0);
    EXPECT_EQ(slider->maximum(), 255);
    ExpectPreview([](CImageDoc& doc) { return doc.ApplyThreshold(128, false); });

    QTest::mouseClick(reverse, Qt::LeftButton);
    ExpectPreview([](CImageDoc& doc) { return doc.ApplyThreshold(128, true); });

    slider->setSliderPosition(40);
    EXPECT_EQ(caption->text(), QStringLiteral("当前值:40"));
    ExpectPreview([](CImageDoc& doc) { return doc.ApplyThreshold(40, true); });

    QTest::mouseClick(reverse, Qt::LeftButton);
    ExpectPreview([](CImageDoc& doc) { return doc.ApplyThreshold(40, false); });
}
