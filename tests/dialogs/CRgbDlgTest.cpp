#include "DialogTestSupport.h"

#include "dialogs/CRgbDlg.h"

#include <QLineEdit>
#include <QSlider>

namespace {

class RgbDlg : public EffectDialogTest
{
protected:
    void SetUp() override
    {
        EffectDialogTest::SetUp();
        dialog = std::make_unique<CRgbDlg>(&host, host);
    }

    QLineEdit* Field(int id) { return Find<QLineEdit>(dialog.get(), id); }
    QSlider* Slider(int id) { return Find<QSlider>(dialog.get(), id); }
    void ExpectRgb(int red, int green, int blue)
    {
        ExpectPreview([=](CImageDoc& doc) { return doc.ApplyRgb(red, green, blue); });
    }

    std::unique_ptr<CRgbDlg> dialog;
};

} // namespace

TEST_F(RgbDlg, EachSliderFillsOnlyItsOwnField)
{
    for (const int id : {1030, 1023, 1024})
        EXPECT_EQ(Field(id)->text(), QStringLiteral("0"));
    Type(Field(1030), QStringLiteral("x")); // red field text that a slider must not touch
    Slider(1026)->setSliderPosition(-77);
    EXPECT_EQ(Field(1023)->text(), QStringLiteral("-77"));
    EXPECT_EQ(Field(1030)->text(), QStringLiteral("0x"));
    EXPECT_EQ(Field(1024)->text(), QStringLiteral("0"));
    ExpectRgb(0, -77, 0);

    Slider(1031)->setSliderPosition(5);
    Slider(1027)->setSliderPosition(255);
    EXPECT_EQ(Field(1030)->text(), QStringLiteral("5"));
    EXPECT_EQ(Field(1024)->text(), QStringLiteral("255"));
    ExpectRgb(5, -77, 255);
}

TEST_F(RgbDlg, EachFieldMovesOnlyItsOwnSlider)
{
    Slider(1031)->setSliderPosition(10);
    Slider(1026)->setSliderPosition(20);
    Clear(Field(1024));
    Type(Field(1024), QStringLiteral("256"));
    EXPECT_EQ(Field(1024)->text(), QStringLiteral("0"));
    EXPECT_EQ(Slider(1027)->value(), 0);
    ExpectRgb(10, 20, 0);

    Clear(Field(1023));
    Type(Field(1023), QStringLiteral("-9z"));
    EXPECT_EQ(Field(1023)->text(), QStringLiteral("-9z"));
    EXPECT_EQ(Slider(1026)->value(), -9);
    EXPECT_EQ(Slider(1031)->value(), 10);
    ExpectRgb(10, -9, 0);
}
