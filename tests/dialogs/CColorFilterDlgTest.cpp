// The colour filter dialog: sliders of channels not in use only move their labels, the two
// treatments, the fill colour and the colour analysis.
#include "DialogTestSupport.h"

#include "dialogs/CColorFilterDlg.h"
#include "dialogs/CColorSwatch.h"

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>

namespace {

struct Filter
{
    bool redOn = false;
    int redMin = 0, redMax = 255;
    bool greenOn = false;
    int greenMin = 0, greenMax = 255;
    bool blueOn = false;
    int blueMin = 0, blueMax = 255;
    bool grayMode = true;
    int grayLevel = 0;
    std::uint32_t fill = 0x00FFFFFF;
};

class ColorFilterDlg : public EffectDialogTest
{
protected:
    void SetUp() override
    {
        EffectDialogTest::SetUp();
        dialog = std::make_unique<CColorFilterDlg>(&host, host, prompts);
    }

    void ExpectFilter(const Filter& f)
    {
        ExpectPreview([=](CImageDoc& doc) {
            return doc.ApplyColorFilter(f.redOn, f.redMin, f.redMax, f.greenOn, f.greenMin, f.greenMax, f.blueOn,
                                        f.blueMin, f.blueMax, f.grayMode, f.grayLevel, f.fill);
        });
    }
    template <typename T> T* Get(int id) { return Find<T>(dialog.get(), id); }
    void Click(int id) { QTest::mouseClick(Get<QAbstractButton>(id), Qt::LeftButton); }
    QString Label(int id) { return Get<QLabel>(id)->text(); }

    std::unique_ptr<CColorFilterDlg> dialog;
};

} // namespace

TEST_F(ColorFilterDlg, StartsWithNoChannelInUseAndGrayTreatment)
{
    const char* expected[][2] = {{"1061", "0"}, {"1062", "255"}, {"1063", "0"}, {"1064", "255"},
                                 {"1065", "0"}, {"1066", "255"}, {"1068", "0"}};
    for (const auto& [id, text] : expected)
        EXPECT_EQ(Label(QString::fromLatin1(id).toInt()), QString::fromLatin1(text)) << id;
    EXPECT_EQ(Label(1072), QStringLiteral("当前颜色的各个值 R:0  G:0  B:0"));
    EXPECT_TRUE(Get<QRadioButton>(1055)->isChecked());
    EXPECT_EQ(Get<QSlider>(1057)->minimum(), -255);
    EXPECT_EQ(Get<CColorSwatch>(1050)->Color(), 0x00FFFFFFu);
    ExpectFilter({});
}

TEST_F(ColorFilterDlg, SliderOfAChannelNotInUseMovesOnlyItsLabel)
{
    const QImage preview = Picture();
    Get<QSlider>(1067)->setSliderPosition(200); // red minimum, above the red maximum later
    EXPECT_EQ(Label(1061), QStringLiteral("200"));
    EXPECT_EQ(Picture(), preview);
    Get<QSlider>(1026)->setSliderPosition(100);
    EXPECT_EQ(Picture(), preview);

    Click(1052);
    ExpectFilter({.redOn = true, .redMin = 200, .redMax = 100});
    Get<QSlider>(1026)->setSliderPosition(230);
    EXPECT_EQ(Label(1062), QStringLiteral("230"));
    ExpectFilter({.redOn = true, .redMin = 200, .redMax = 230});
}

TEST_F(ColorFilterDlg, GrayLevelCountsOnlyWhileGrayTreatmentIsChosen)
{
    Click(1056);
    ExpectFilter({.grayMode = false});
    const QImage preview = Picture();
    Get<QSlider>(1057)->setSliderPosition(-90);
    EXPECT_EQ(Label(1068), QStringLiteral("-90"));
    EXPECT_EQ(Picture(), preview);

    Click(1055);
    ExpectFilter({.grayLevel = -90});
    Get<QSlider>(1057)->setSliderPosition(40);
    ExpectFilter({.grayLevel = 40});
}

TEST_F(ColorFilterDlg, FillColourCountsOnlyWhileFillTreatmentIsChosen)
{
    Click(1053);
    Get<QSlider>(1027)->setSliderPosition(120);
    ExpectFilter({.greenOn = true, .greenMin = 120});
    const QImage preview = Picture();

    prompts.chooserAnswers = {0x00204080};
    Click(1036);
    EXPECT_EQ(Get<CColorSwatch>(1050)->Color(), 0x00204080u);
    EXPECT_EQ(Picture(), preview);

    Click(1056);
    ExpectFilter({.greenOn = true, .greenMin = 120, .grayMode = false, .fill = 0x00204080});
    prompts.chooserAnswers = {0x00000000};
    Click(1036);
    ExpectFilter({.greenOn = true, .greenMin = 120, .grayMode = false, .fill = 0});
}

TEST_F(ColorFilterDlg, AnalysisShowsThePickedColourWithoutTouchingThePicture)
{
    const QImage preview = Picture();
    prompts.picks = {0x00336699}; // red 153, green 102, blue 51
    Click(1070);
    EXPECT_EQ(Label(1072), QStringLiteral("当前颜色的各个值 R:153  G:102  B:51"));
    EXPECT_EQ(Get<CColorSwatch>(1071)->Color(), 0x00336699u);
    EXPECT_EQ(Picture(), preview);
    EXPECT_EQ(Doc().UndoDepth(), depth + 1);

    Click(1070); // cancelled: the analysis keeps the colour it shows
    EXPECT_EQ(Label(1072), QStringLiteral("当前颜色的各个值 R:153  G:102  B:51"));
    EXPECT_EQ(Get<CColorSwatch>(1071)->Color(), 0x00336699u);
}
