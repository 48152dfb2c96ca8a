// What every effect dialog promises: its first preview, the keys that end it or do not, and one
// preview in the history however much the user changes.
#include "DialogTestSupport.h"

#include "dialogs/CGrayDlg.h"
#include "dialogs/EffectDialogs.h"
#include "support/InitialEffects.h"
#include "tiles/CTilePool.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>

#include <memory>
#include <ostream>

namespace {

struct DialogCase
{
    const char* name;
    const char* caption;
    EffectCommand command;
    int okId;
    int cancelId;
};

void PrintTo(const DialogCase& c, std::ostream* os)
{
    *os << c.name;
}

// Every effect command. Opening each dialog also checks its layout table against its code: a
// control the code asks for and the table lacks ends the program there.
const DialogCase dialogCases[] = {
    {"Gray", "灰度处理", EffectCommand::Gray, 1023, 1024},
    {"Brightness", "明暗处理", EffectCommand::Brightness, 1023, 1024},
    {"Rgb", "RGB颜色调整", EffectCommand::Rgb, 1028, 1029},
    {"Line", "线处理", EffectCommand::Line, 1042, 1043},
    {"Dot", "点处理", EffectCommand::Dot, 1023, 1024},
    {"ColorFilter", "颜色过滤", EffectCommand::ColorFilter, 1023, 1024},
    {"SolidFill", "单色填充", EffectCommand::SolidFill, 1023, 1024},
    {"Threshold", "二值化", EffectCommand::Threshold, 1023, 1024},
};

class EffectDlgContract : public EffectDialogTest, public ::testing::WithParamInterface<DialogCase>
{
protected:
    void ExpectInitialPreview()
    {
        ExpectPreview([](CImageDoc& doc) { return ApplyInitialEffect(GetParam().command, doc); });
    }

    std::unique_ptr<CEffectDlg> Open()
    {
        auto dialog = MakeEffectDialog(GetParam().command, &host, host, prompts);
        Activate(dialog.get());
        return dialog;
    }
};

// The main window before its canvas exists.
class HostWithoutCanvas : public CCanvasHost
{
public:
    CDrawView* Canvas() const override { return nullptr; }
    void PreviewFailed(const QString&) override {}
};

// The controls Enter must not act on: everything that takes the focus but the push buttons.
QList<QWidget*> InputControls(const QWidget* dialog)
{
    QList<QWidget*> inputs;
    for (QWidget* child : dialog->findChildren<QWidget*>()) {
        if (child->focusPolicy() != Qt::NoFocus && !qobject_cast<QPushButton*>(child) &&
            child->objectName().startsWith(QStringLiteral("control")))
            inputs.append(child);
    }
    return inputs;
}

} // namespace

TEST_P(EffectDlgContract, OpensWithItsCaptionAndOnePreviewOfTheInitialParameters)
{
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8(GetParam().caption));
    EXPECT_TRUE(dialog->HasPreview());
    ExpectInitialPreview();
    EXPECT_EQ(Doc().RedoDepth(), 0u);
}

TEST_P(EffectDlgContract, EnterActsOnlyOnPushButtons)
{
    auto dialog = Open();
    const QList<QWidget*> inputs = InputControls(dialog.get());
    ASSERT_FALSE(inputs.isEmpty());
    for (QWidget* input : inputs) {
        SCOPED_TRACE(input->objectName().toStdString());
        input->setFocus();
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter})
            QTest::keyClick(input, key);
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), 0);
    }
    ExpectInitialPreview();

    auto* ok = Find<QPushButton>(dialog.get(), GetParam().okId);
    ok->setFocus();
    QTest::keyClick(ok, Qt::Key_Return);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_EQ(dialog->result(), CEffectDlg::Confirmed);
}

TEST_P(EffectDlgContract, CancelEscAndCloseBoxEndWithTwo)
{
    const std::function<void(CEffectDlg&)> endings[] = {
        [](CEffectDlg& d) { QTest::mouseClick(Find<QPushButton>(&d, GetParam().cancelId), Qt::LeftButton); },
        [](CEffectDlg& d) {
            auto* cancel = Find<QPushButton>(&d, GetParam().cancelId);
            cancel->setFocus();
            QTest::keyClick(cancel, Qt::Key_Return);
        },
        [](CEffectDlg& d) { QTest::keyClick(&d, Qt::Key_Escape); },
        [](CEffectDlg& d) { d.close(); },
    };
    for (const auto& end : endings) {
        auto dialog = Open();
        end(*dialog);
        EXPECT_FALSE(dialog->isVisible());
        EXPECT_EQ(dialog->result(), CEffectDlg::Cancelled);
        // The owner drops the preview; the dialog leaves it for the owner to decide.
        EXPECT_EQ(Doc().UndoDepth(), depth + 1);
        ASSERT_TRUE(Doc().DropNewest());
    }
    EXPECT_EQ(Picture(), before);
}

// Pokes every control the user can change, several times, and checks that each change replaced
// the preview rather than adding to the history.
TEST_P(EffectDlgContract, ManyChangesKeepExactlyOnePreview)
{
    prompts.chooserAnswers = {0x00336699, 0x00102030};
    prompts.picks = {0x00FF00FF, 0x0000FF00};
    auto dialog = Open();
    for (int round = 0; round < 2; ++round) {
        for (QWidget* child : dialog->findChildren<QWidget*>()) {
            if (auto* slider = qobject_cast<QSlider*>(child)) {
                QTest::keyClick(slider, Qt::Key_Right);
                QTest::keyClick(slider, Qt::Key_PageDown);
            } else if (auto* field = qobject_cast<QLineEdit*>(child)) {
                Type(field, QStringLiteral("2"));
            } else if (auto* box = qobject_cast<QComboBox*>(child); box && box->isEnabled()) {
                QTest::keyClick(box, Qt::Key_Down);
            } else if (auto* arrows = qobject_cast<QScrollBar*>(child)) {
                arrows->triggerAction(QAbstractSlider::SliderSingleStepSub);
            } else if (auto* button = qobject_cast<QAbstractButton*>(child)) {
                const int id = button->objectName().mid(7).toInt();
                if (id != GetParam().okId && id != GetParam().cancelId)
                    QTest::mouseClick(button, Qt::LeftButton);
            }
            ASSERT_EQ(Doc().UndoDepth(), depth + 1) << child->objectName().toStdString();
        }
    }
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_TRUE(prompts.refusals.isEmpty()) << prompts.refusals.join(QLatin1Char('|')).toStdString();
}

// Previews that cannot get memory are told to the owner once per dialog, not once per step.
TEST_P(EffectDlgContract, FailedPreviewsAreReportedOncePerDialog)
{
    CTilePool& pool = CTilePool::Shared();
    for (int opening = 1; opening <= 2; ++opening) {
        auto dialog = Open();
        pool.SetLiveLimit(pool.LiveBytes() - CTilePool::TileBytes); // the preview's tile is all there was
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>())   // the colour filter's channels
            QTest::mouseClick(box, Qt::LeftButton);
        for (QSlider* slider : dialog->findChildren<QSlider*>()) {
            QTest::keyClick(slider, Qt::Key_Right);
            QTest::keyClick(slider, Qt::Key_Right);
        }
        pool.SetLiveLimit(0);
        EXPECT_EQ(host.failures, QStringList(opening, QStringLiteral("内存不足,不能进行处理")));
        EXPECT_EQ(Doc().UndoDepth(), depth) << "no preview left to drop";
    }
}

INSTANTIATE_TEST_SUITE_P(EveryDialog, EffectDlgContract, ::testing::ValuesIn(dialogCases),
                         [](const ::testing::TestParamInfo<DialogCase>& info) { return info.param.name; });

TEST_F(EffectDialogTest, NothingIsPreviewedWhileNoImageIsLoaded)
{
    Doc().Clear();
    CGrayDlg gray(&host, host);
    QTest::keyClick(Find<QSlider>(&gray, 1025), Qt::Key_Right);
    EXPECT_FALSE(gray.HasPreview());
    EXPECT_EQ(Find<QLineEdit>(&gray, 1022)->text(), QStringLiteral("1"));

    QWidget owner;
    HostWithoutCanvas noCanvas;
    EXPECT_FALSE(MakeEffectDialog(EffectCommand::Threshold, &owner, noCanvas, prompts)->HasPreview());
}

// The canvas is the host's even when the owner is another window with a canvas of its own.
TEST_F(EffectDialogTest, PreviewsOnTheHostItIsGivenRatherThanItsOwner)
{
    CanvasHostWidget owner; // no picture loaded
    auto dialog = MakeEffectDialog(EffectCommand::Gray, &owner, host, prompts);
    EXPECT_EQ(dialog->parentWidget(), &owner);
    EXPECT_TRUE(dialog->HasPreview());
    ExpectPreview([](CImageDoc& doc) { return ApplyInitialEffect(EffectCommand::Gray, doc); });
}
