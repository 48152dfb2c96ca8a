// A dialog whose table and code disagree ends the program at once, naming the dialog, the id and
// the type, instead of running on with a null or mistyped control.
#include "DialogTestSupport.h"

#include "dialogs/CThresholdDlg.h"
#include "dialogs/DialogLayout.h"

#include <QCheckBox>
#include <QDialog>
#include <QSlider>

namespace {

// The threshold dialog with its lookup opened to the test.
class OpenThresholdDlg : public CThresholdDlg
{
public:
    using CThresholdDlg::Control;
    using CThresholdDlg::CThresholdDlg;
};

constexpr DialogLayout::Control twice[] = {
    {7, DialogLayout::Kind::Slider, "", {0, 0, 80, 15}},
    {7, DialogLayout::Kind::CheckBox, "", {0, 20, 80, 10}},
};

class EffectDlgDeathTest : public EffectDialogTest
{
protected:
    void SetUp() override
    {
        // Qt has threads of its own running, so each death runs in a fresh process, not a fork.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
        EffectDialogTest::SetUp();
    }
};

} // namespace

TEST_F(EffectDlgDeathTest, LookupOfAnIdOrTypeTheTableLacksEndsTheProgram)
{
    OpenThresholdDlg dialog(&host, host);
    EXPECT_EQ(dialog.Control<QCheckBox>(1078), Find<QCheckBox>(&dialog, 1078));
    EXPECT_DEATH(dialog.Control<QCheckBox>(1079),
                 "CThresholdDlg .* has no control 1079 \\(a QCheckBox was expected\\)");
    EXPECT_DEATH(dialog.Control<QSlider>(1078), "CThresholdDlg .*: control 1078 is a QCheckBox, not a QSlider");
}

TEST_F(EffectDlgDeathTest, AnIdUsedTwiceInATableEndsTheProgram)
{
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("probe"));
    EXPECT_DEATH(DialogLayout::Build(&dialog, twice), "control 7 appears twice in the layout table of \"probe\"");
}
