// The line dialog: strictly read numbers with their refusals, the arrows, and the width rule that
// allows dashes only on one-pixel lines.
#include "DialogTestSupport.h"

#include "dialogs/CColorSwatch.h"
#include "dialogs/CLineDlg.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>

namespace {

const QString notANumber = QStringLiteral("请键入一个整数。");

QString RangeMessage(int lowest, int highest)
{
    return QStringLiteral("“请填入一个在%1和%2之间的整数。”").arg(lowest).arg(highest);
}

class LineDlg : public EffectDialogTest
{
protected:
    void SetUp() override
    {
        EffectDialogTest::SetUp();
        dialog = std::make_unique<CLineDlg>(&host, host, prompts);
        Activate(dialog.get());
        width = Find<QLineEdit>(dialog.get(), 1038);
        spacing = Find<QLineEdit>(dialog.get(), 1023);
        kind = Find<QComboBox>(dialog.get(), 1037);
    }

    struct Lines
    {
        int direction = 0, width = 1, spacing = 1;
        std::uint32_t color = 0;
        int kind = 0, translucency = 255;
    };
    void ExpectLines(const Lines& l)
    {
        ExpectPreview([=](CImageDoc& doc) {
            return doc.ApplyLines(l.direction, l.width, l.spacing, l.color, l.kind, l.translucency);
        });
    }
    // The arrows as a click on them reports: up adds one, down subtracts one.
    void Arrow(int id, bool up)
    {
        Find<QScrollBar>(dialog.get(), id)
            ->triggerAction(up ? QAbstractSlider::SliderSingleStepSub : QAbstractSlider::SliderSingleStepAdd);
    }

    std::unique_ptr<CLineDlg> dialog;
    QLineEdit* width = nullptr;
    QLineEdit* spacing = nullptr;
    QComboBox* kind = nullptr;
};

} // namespace

TEST_F(LineDlg, StartsWithOnePixelSolidBlackHorizontalLines)
{
    EXPECT_TRUE(Find<QRadioButton>(dialog.get(), 1032)->isChecked());
    EXPECT_EQ(width->text(), QStringLiteral("1"));
    EXPECT_EQ(spacing->text(), QStringLiteral("1"));
    EXPECT_EQ(kind->count(), 5);
    EXPECT_EQ(kind->itemText(4), QStringLiteral("点点划线"));
    EXPECT_EQ(kind->currentText(), QStringLiteral("实线"));
    EXPECT_TRUE(kind->isEnabled());
    EXPECT_EQ(Find<QLabel>(dialog.get(), 1040)->text(), QStringLiteral("半透明度:255"));
    ExpectLines({});
}

TEST_F(LineDlg, ClearedWidthIsRefusedAndTheOldWidthStays)
{
    Retype(width, QStringLiteral("7"));
    Clear(width);
    EXPECT_EQ(prompts.refusals, QStringList{notANumber});
    EXPECT_EQ(prompts.lastOwner, dialog.get());
    EXPECT_TRUE(width->hasFocus());
    EXPECT_EQ(width->text(), QString());
    ExpectLines({.width = 7});

    // A field left refused is refused again by the next event that reads the fields.
    QTest::mouseClick(Find<QRadioButton>(dialog.get(), 1033), Qt::LeftButton);
    EXPECT_EQ(prompts.refusals, (QStringList{notANumber, notANumber}));
    ExpectLines({.direction = 90, .width = 7});
}

TEST_F(LineDlg, WidthOutOfRangeIsRefusedThenBecomesOne)
{
    for (const char* text : {"5000", "0"}) {
        Retype(width, QStringLiteral("12"));
        Retype(width, QString::fromLatin1(text));
        EXPECT_EQ(prompts.refusals.last(), RangeMessage(1, 3000)) << text;
        EXPECT_EQ(width->text(), QStringLiteral("1"));
        ExpectLines({});
    }
}

TEST_F(LineDlg, RefusedTextIsSelectedForRetyping)
{
    spacing->setText(QStringLiteral("4x"));
    QTest::mouseClick(Find<QRadioButton>(dialog.get(), 1033), Qt::LeftButton);
    EXPECT_EQ(prompts.refusals, QStringList{notANumber});
    EXPECT_TRUE(spacing->hasFocus());
    EXPECT_EQ(spacing->selectedText(), QStringLiteral("4x"));
    ExpectLines({.direction = 90});
}

TEST_F(LineDlg, SpacingAcceptsZeroAndReplacesOutOfRangeByOne)
{
    Retype(spacing, QStringLiteral("0"));
    EXPECT_TRUE(prompts.refusals.isEmpty());
    ExpectLines({.spacing = 0});

    Retype(spacing, QStringLiteral("3001"));
    EXPECT_EQ(prompts.refusals.last(), RangeMessage(0, 3000));
    EXPECT_EQ(spacing->text(), QStringLiteral("1"));
    ExpectLines({});
}

TEST_F(LineDlg, WiderLinesForceSolidAndDisableTheKinds)
{
    QTest::keyClick(kind, Qt::Key_Down);
    QTest::keyClick(kind, Qt::Key_Down); // "点线"
    ExpectLines({.kind = 2});

    Retype(width, QStringLiteral("2"));
    EXPECT_EQ(kind->currentText(), QStringLiteral("实线"));
    EXPECT_FALSE(kind->isEnabled());
    ExpectLines({.width = 2});

    Retype(width, QStringLiteral("1"));
    EXPECT_TRUE(kind->isEnabled());
    EXPECT_EQ(kind->currentIndex(), 0);

    Arrow(1034, true);
    EXPECT_EQ(width->text(), QStringLiteral("2"));
    EXPECT_FALSE(kind->isEnabled());
    Arrow(1034, false);
    EXPECT_EQ(width->text(), QStringLiteral("1"));
    EXPECT_TRUE(kind->isEnabled());
    ExpectLines({});
}

TEST_F(LineDlg, ArrowsReplaceOutOfRangeByOneRatherThanClamping)
{
    Arrow(1034, false);
    EXPECT_EQ(width->text(), QStringLiteral("1"));
    Retype(width, QStringLiteral("3000"));
    Arrow(1034, true);
    EXPECT_EQ(width->text(), QStringLiteral("1"));
    EXPECT_TRUE(kind->isEnabled());

    Retype(spacing, QStringLiteral("0"));
    Arrow(1035, false);
    EXPECT_EQ(spacing->text(), QStringLiteral("1"));
    Arrow(1035, true);
    Arrow(1035, true);
    EXPECT_EQ(spacing->text(), QStringLiteral("3"));
    ExpectLines({.spacing = 3});
    EXPECT_TRUE(prompts.refusals.isEmpty());
}

// Clicking an arrow with the mouse steps the field, whichever end of its range the bar is at.
TEST_F(LineDlg, ArrowClicksReachTheField)
{
    auto* arrows = Find<QScrollBar>(dialog.get(), 1034);
    const QPoint top(arrows->width() / 2, 2);
    const QPoint bottom(arrows->width() / 2, arrows->height() - 3);
    for (int i = 0; i < 3; ++i)
        QTest::mouseClick(arrows, Qt::LeftButton, {}, top);
    EXPECT_EQ(width->text(), QStringLiteral("4"));
    QTest::mouseClick(arrows, Qt::LeftButton, {}, bottom);
    EXPECT_EQ(width->text(), QStringLiteral("3"));
    ExpectLines({.width = 3});
}

TEST_F(LineDlg, ColourChoiceAndTranslucency)
{
    prompts.chooserAnswers = {std::nullopt, 0x000000FF};
    auto* choose = Find<QPushButton>(dialog.get(), 1036);
    QTest::mouseClick(choose, Qt::LeftButton);
    EXPECT_EQ(Find<CColorSwatch>(dialog.get(), 1039)->Color(), 0u);
    ExpectLines({});

    QTest::mouseClick(choose, Qt::LeftButton);
    EXPECT_EQ(Find<CColorSwatch>(dialog.get(), 1039)->Color(), 0x000000FFu);
    Find<QSlider>(dialog.get(), 1041)->setSliderPosition(60);
    EXPECT_EQ(Find<QLabel>(dialog.get(), 1040)->text(), QStringLiteral("半透明度:60"));
    ExpectLines({.color = 0x000000FF, .translucency = 60});
}
