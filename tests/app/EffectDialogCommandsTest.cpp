// The effect commands with their real dialogs: what the main window keeps or drops by the way a
// dialog ends, and that a failed preview never costs the user's picture.
#include "MainWindowFixture.h"

#include "dialogs/CEffectDlg.h"
#include "support/InitialEffects.h"
#include "support/ScriptedEffectPrompts.h"
#include "tiles/CTilePool.h"

#include <QAction>
#include <QApplication>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

#include <functional>
#include <ostream>

namespace {

struct CommandCase
{
    const char* name;
    int command;
    EffectCommand effect;
    const char* success;
};

void PrintTo(const CommandCase& c, std::ostream* os)
{
    *os << c.name;
}

const CommandCase commandCases[] = {
    {"Gray", CMainDlg::Gray, EffectCommand::Gray, "灰度处理成功"},
    {"Brightness", CMainDlg::Brightness, EffectCommand::Brightness, "明暗处理成功"},
    {"Rgb", CMainDlg::Rgb, EffectCommand::Rgb, "RGB处理成功"},
    {"Line", CMainDlg::Line, EffectCommand::Line, "线处理成功"},
    {"Dot", CMainDlg::Dot, EffectCommand::Dot, "点处理成功"},
    {"ColorFilter", CMainDlg::ColorFilter, EffectCommand::ColorFilter, "颜色过滤处理成功"},
    {"SolidFill", CMainDlg::SolidFill, EffectCommand::SolidFill, "单色填充处理成功"},
    {"Threshold", CMainDlg::Threshold, EffectCommand::Threshold, "二值化处理成功"},
};

enum class Ending
{
    Ok,
    CancelButton,
    Escape,
    CloseBox,
};

class EffectDialogCommands : public MainWindowTest
{
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        window->SetEffectPrompts(&effectPrompts);
        path = WritePicture(QStringLiteral("a.png"));
        OpenPicture(path);
        // One state deep, so that a drop too many would show.
        window->MenuAction(CMainDlg::Invert)->trigger();
        before = Doc().CurrentState().ReadAll();
        Popup().ShowMessage(NoticeKind::Warning, QStringLiteral("before"));
    }

    // Runs `command` from its menu item; `inside` acts on its dialog while it is open.
    void Run(int command, const std::function<void(CEffectDlg&)>& inside)
    {
        bool ran = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<CEffectDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            ran = true;
            inside(*dialog);
        });
        window->MenuAction(command)->trigger();
        EXPECT_TRUE(ran);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    }

    static void End(CEffectDlg& dialog, Ending ending)
    {
        const auto button = [&](const char* text) {
            for (QPushButton* b : dialog.findChildren<QPushButton*>()) {
                if (b->text() == QString::fromUtf8(text))
                    return b;
            }
            return static_cast<QPushButton*>(nullptr);
        };
        switch (ending) {
        case Ending::Ok:
            QTest::mouseClick(button("确定(&O)"), Qt::LeftButton);
            break;
        case Ending::CancelButton:
            QTest::mouseClick(button("取消(&C)"), Qt::LeftButton);
            break;
        case Ending::Escape:
            QTest::keyClick(&dialog, Qt::Key_Escape);
            break;
        case Ending::CloseBox:
            dialog.close();
            break;
        }
    }

    QImage Expected(const std::function<bool(CImageDoc&)>& effect)
    {
        CImageDoc reference;
        EXPECT_TRUE(reference.Load(path));
        EXPECT_TRUE(reference.ApplyInvert());
        EXPECT_TRUE(effect(reference));
        return reference.CurrentState().ReadAll();
    }

    ScriptedEffectPrompts effectPrompts;
    QString path;
    QImage before;
};

class EveryEffectCommand : public EffectDialogCommands, public ::testing::WithParamInterface<CommandCase>
{
};

} // namespace

TEST_P(EveryEffectCommand, CancellingInAnyWayLeavesHistoryAndPictureAsTheyWere)
{
    for (const Ending ending : {Ending::CancelButton, Ending::Escape, Ending::CloseBox}) {
        Run(GetParam().command, [&](CEffectDlg& dialog) {
            EXPECT_EQ(Doc().UndoDepth(), 3u) << "the preview is on the canvas";
            End(dialog, ending);
        });
        EXPECT_EQ(Doc().UndoDepth(), 2u);
        EXPECT_EQ(Doc().RedoDepth(), 0u);
        EXPECT_EQ(Doc().CurrentState().ReadAll(), before);
        EXPECT_EQ(Popup().MessageText(), QStringLiteral("before"));
    }
}

TEST_P(EveryEffectCommand, OkAtOnceKeepsOneStateOfTheInitialParameters)
{
    PaintsSinceLastCall();
    Run(GetParam().command, [](CEffectDlg& dialog) { End(dialog, Ending::Ok); });
    EXPECT_EQ(Doc().UndoDepth(), 3u);
    EXPECT_EQ(Doc().CurrentState().ReadAll(),
              Expected([](CImageDoc& d) { return ApplyInitialEffect(GetParam().effect, d); }));
    EXPECT_EQ(Popup().MessageText(), QString::fromUtf8(GetParam().success));
    EXPECT_EQ(Popup().VisibleSymbol(), static_cast<int>(NoticeKind::Success));
    EXPECT_GT(PaintsSinceLastCall(), 0);
}

INSTANTIATE_TEST_SUITE_P(Dialogs, EveryEffectCommand, ::testing::ValuesIn(commandCases),
                         [](const ::testing::TestParamInfo<CommandCase>& info) { return info.param.name; });

// A preview whose effect cannot get memory never reaches the history. The dialog then has nothing
// of its own to drop, and the main window must not drop the user's state in its place.
TEST_F(EffectDialogCommands, FailedPreviewsNeverCostTheUsersPicture)
{
    for (const Ending ending : {Ending::Escape, Ending::Ok}) {
        Run(CMainDlg::Gray, [&](CEffectDlg& dialog) {
            // The picture fits one tile: once the preview's tile is gone, none is left.
            CTilePool::Shared().SetLiveLimit(CTilePool::Shared().LiveBytes() - CTilePool::TileBytes);
            auto* slider = dialog.findChild<QSlider*>();
            for (int i = 0; i < 3; ++i)
                QTest::keyClick(slider, Qt::Key_Right);
            EXPECT_FALSE(dialog.HasPreview());
            EXPECT_EQ(Doc().UndoDepth(), 2u);
            EXPECT_EQ(Popup().MessageText(), QStringLiteral("内存不足,不能进行处理"))
                << "said while the dialog is open";
            CTilePool::Shared().SetLiveLimit(0);
            End(dialog, ending);
        });
        EXPECT_EQ(Doc().UndoDepth(), 2u);
        EXPECT_EQ(Doc().CurrentState().ReadAll(), before);
    }
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("内存不足,不能进行处理"));
    EXPECT_EQ(Popup().VisibleSymbol(), static_cast<int>(NoticeKind::Failure));
}

// Once memory is back, the next change previews again and OK keeps it.
TEST_F(EffectDialogCommands, PreviewRecoversAfterAFailedOne)
{
    Run(CMainDlg::Brightness, [&](CEffectDlg& dialog) {
        auto* slider = dialog.findChild<QSlider*>();
        CTilePool::Shared().SetLiveLimit(CTilePool::Shared().LiveBytes() - CTilePool::TileBytes);
        QTest::keyClick(slider, Qt::Key_Right);
        CTilePool::Shared().SetLiveLimit(0);
        QTest::keyClick(slider, Qt::Key_Right);
        EXPECT_TRUE(dialog.HasPreview());
        End(dialog, Ending::Ok);
    });
    EXPECT_EQ(Doc().UndoDepth(), 3u);
    EXPECT_EQ(Doc().CurrentState().ReadAll(), Expected([](CImageDoc& d) { return d.ApplyBrightness(2); }));
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("明暗处理成功"));
}
