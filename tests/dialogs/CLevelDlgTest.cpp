// The grayscale and brightness dialogs: a field read leniently and a slider that follow each other.
#include "DialogTestSupport.h"

#include "dialogs/CBrightnessDlg.h"
#include "dialogs/CGrayDlg.h"

#include <QClipboard>
#include <QLineEdit>
#include <QSlider>

#include <memory>
#include <ostream>

namespace {

struct LevelCase
{
    const char* name;
    std::function<std::unique_ptr<CEffectDlg>(CanvasHostWidget&)> make;
    bool (CImageDoc::*effect)(int);
};

void PrintTo(const LevelCase& c, std::ostream* os)
{
    *os << c.name;
}

const LevelCase levelCases[] = {
    {"Gray", [](CanvasHostWidget& host) { return std::make_unique<CGrayDlg>(&host, host); }, &CImageDoc::ApplyGray},
    {"Brightness", [](CanvasHostWidget& host) { return std::make_unique<CBrightnessDlg>(&host, host); },
     &CImageDoc::ApplyBrightness},
};

class LevelDlg : public EffectDialogTest, public ::testing::WithParamInterface<LevelCase>
{
protected:
    void SetUp() override
    {
        EffectDialogTest::SetUp();
        dialog = GetParam().make(host);
        field = Find<QLineEdit>(dialog.get(), 1022);
        slider = Find<QSlider>(dialog.get(), 1025);
    }

    void ExpectLevel(int level)
    {
        const auto effect = GetParam().effect;
        ExpectPreview([&](CImageDoc& doc) { return (doc.*effect)(level); });
        EXPECT_EQ(slider->value(), level);
    }

    std::unique_ptr<CEffectDlg> dialog;
    QLineEdit* field = nullptr;
    QSlider* slider = nullptr;
};

} // namespace

TEST_P(LevelDlg, StartsAtZero)
{
    EXPECT_EQ(field->text(), QStringLiteral("0"));
    EXPECT_EQ(slider->minimum(), -255);
    EXPECT_EQ(slider->maximum(), 255);
    ExpectLevel(0);
}

TEST_P(LevelDlg, TypingPreviewsEveryKeyAndKeepsTheText)
{
    Clear(field);
    const struct
    {
        char key;
        int level;
    } keys[] = {{'-', 0}, {'1', -1}, {'0', -10}, {'0', -100}};
    for (const auto& step : keys) {
        QTest::keyClick(field, step.key);
        SCOPED_TRACE(field->text().toStdString());
        ExpectLevel(step.level);
    }
    EXPECT_EQ(field->text(), QStringLiteral("-100"));
}

TEST_P(LevelDlg, OutOfRangePutsZeroInTheField)
{
    for (const char* text : {"300", "-256"}) {
        Clear(field);
        Type(field, QString::fromLatin1(text));
        EXPECT_EQ(field->text(), QStringLiteral("0")) << text;
        ExpectLevel(0);
    }
    QGuiApplication::clipboard()->setText(QStringLiteral("99999999999"));
    field->selectAll();
    QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(field->text(), QStringLiteral("0"));
    ExpectLevel(0);
    Clear(field);
    Type(field, QStringLiteral("-255"));
    ExpectLevel(-255);
}

TEST_P(LevelDlg, TextAfterTheDigitsIsIgnoredAndKept)
{
    Clear(field);
    Type(field, QStringLiteral("abc"));
    EXPECT_EQ(field->text(), QStringLiteral("abc"));
    ExpectLevel(0);

    Clear(field);
    Type(field, QStringLiteral(" 12abc"));
    EXPECT_EQ(field->text(), QStringLiteral(" 12abc"));
    ExpectLevel(12);

    Clear(field);
    Type(field, QStringLiteral("007"));
    EXPECT_EQ(field->text(), QStringLiteral("007"));
    ExpectLevel(7);
}

TEST_P(LevelDlg, SliderMovesPreviewAndTheFieldFollows)
{
    for (const int position : {40, 41, -255, 255}) {
        slider->setSliderPosition(position); // as a drag does
        EXPECT_EQ(field->text(), QString::number(position));
        ExpectLevel(position);
    }
    QTest::keyClick(slider, Qt::Key_Left);
    EXPECT_EQ(field->text(), QStringLiteral("254"));
    ExpectLevel(254);
}

// Writing the slider's number into the field is no edit of the user's: the field keeps what the
// slider put there and the slider keeps its position.
TEST_P(LevelDlg, TheFieldWrittenBySliderDoesNotReadItselfBack)
{
    Clear(field);
    Type(field, QStringLiteral("12abc"));
    QTest::keyClick(slider, Qt::Key_Right);
    EXPECT_EQ(field->text(), QStringLiteral("13"));
    ExpectLevel(13);
}

INSTANTIATE_TEST_SUITE_P(GrayAndBrightness, LevelDlg, ::testing::ValuesIn(levelCases),
                         [](const ::testing::TestParamInfo<LevelCase>& info) { return info.param.name; });
