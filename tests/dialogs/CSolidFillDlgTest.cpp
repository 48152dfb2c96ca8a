#include "DialogTestSupport.h"

#include "dialogs/CColorSwatch.h"
#include "dialogs/CSolidFillDlg.h"

#include <QLabel>
#include <QPushButton>
#include <QSlider>

namespace {

class SolidFillDlg : public EffectDialogTest
{
protected:
    void SetUp() override
    {
        EffectDialogTest::SetUp();
        dialog = std::make_unique<CSolidFillDlg>(&host, host, prompts);
        swatch = Find<CColorSwatch>(dialog.get(), 1050);
        slider = Find<QSlider>(dialog.get(), 1041);
    }

    void ExpectFill(std::uint32_t color, int translucency)
    {
        ExpectPreview([=](CImageDoc& doc) { return doc.ApplySolidFill(color, translucency); });
        EXPECT_EQ(swatch->Color(), color);
    }
    void Click(int id) { QTest::mouseClick(Find<QPushButton>(dialog.get(), id), Qt::LeftButton); }

    std::unique_ptr<CSolidFillDlg> dialog;
    CColorSwatch* swatch = nullptr;
    QSlider* slider = nullptr;
};

} // namespace

TEST_F(SolidFillDlg, StartsWhiteAtHalfTranslucency)
{
    EXPECT_EQ(Find<QLabel>(dialog.get(), 1040)->text(), QStringLiteral("半透明度:128"));
    EXPECT_EQ(slider->value(), 128);
    ExpectFill(0x00FFFFFF, 128);
}

TEST_F(SolidFillDlg, SliderPreviewsAndCaptionFollows)
{
    slider->setSliderPosition(0);
    EXPECT_EQ(Find<QLabel>(dialog.get(), 1040)->text(), QStringLiteral("半透明度:0"));
    ExpectFill(0x00FFFFFF, 0);
    QTest::keyClick(slider, Qt::Key_End);
    ExpectFill(0x00FFFFFF, 255);
}

TEST_F(SolidFillDlg, ChosenColourPreviewsAndCancelledChooserChangesNothing)
{
    prompts.chooserAnswers = {0x00123456, std::nullopt};
    Click(1036);
    EXPECT_EQ(prompts.chooserStarts, QList<std::uint32_t>{0x00FFFFFF});
    EXPECT_EQ(prompts.lastOwner, dialog.get());
    ExpectFill(0x00123456, 128);
    const QImage previewed = Picture();

    Click(1036);
    EXPECT_EQ(prompts.chooserStarts.last(), 0x00123456u);
    ExpectFill(0x00123456, 128);
    EXPECT_EQ(Picture(), previewed);
}

TEST_F(SolidFillDlg, PickedColourIsUsedAtOnceAndACancelledPickChangesNothing)
{
    prompts.picks = {std::nullopt, 0x00000000, 0x00336699, std::nullopt};
    Click(1074);
    ExpectFill(0x00FFFFFF, 128); // still the white it opened with
    Click(1074);
    ExpectFill(0x00000000, 128);
    Click(1074);
    ExpectFill(0x00336699, 128);
    const ImageState* preview = &Doc().CurrentState();
    Click(1074);
    EXPECT_EQ(swatch->Color(), 0x00336699u);
    EXPECT_EQ(&Doc().CurrentState(), preview) << "no new preview";
}
