#pragma once

#include "canvas/CDrawView.h"
#include "dialogs/CCanvasHost.h"
#include "support/ScriptedEffectPrompts.h"
#include "support/TestImages.h"

#include <QApplication>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <functional>

// Stands in for the main window: owns a canvas and answers for it.
class CanvasHostWidget : public QWidget, public CCanvasHost
{
public:
    CanvasHostWidget() : view(new CDrawView(this)) { view->resize(160, 120); }
    CDrawView* Canvas() const override { return view; }
    void PreviewFailed(const QString& reason) override { failures.append(reason); }

    CDrawView* view;
    QStringList failures; // every failure the dialogs reported
};

// A loaded picture one effect deep (so that dropping one state too many would show), with an
// independent document on the same picture to compute what a preview should look like.
class EffectDialogTest : public ::testing::Test
{
protected:
    using Effect = std::function<bool(CImageDoc&)>;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("picture.png"));
        WriteWithQt(MakePhotoLike(48, 32), path, "PNG");
        for (CImageDoc* doc : {&Doc(), &reference}) {
            ASSERT_TRUE(doc->Load(path));
            ASSERT_TRUE(doc->ApplyInvert());
        }
        before = Picture();
        depth = Doc().UndoDepth();
    }

    CImageDoc& Doc() { return host.view->doc; }
    QImage Picture() { return Doc().CurrentState().ReadAll(); }

    // What `effect` makes of the picture the dialog opened on.
    QImage Expected(const Effect& effect)
    {
        EXPECT_TRUE(effect(reference));
        const QImage picture = reference.CurrentState().ReadAll();
        reference.DropNewest();
        return picture;
    }

    // The history holds exactly one preview, and it is `effect`'s.
    void ExpectPreview(const Effect& effect)
    {
        EXPECT_EQ(Doc().UndoDepth(), depth + 1);
        EXPECT_EQ(Picture(), Expected(effect));
    }

    // Shows `dialog` as the active window, so focus and keys behave as for the user.
    static void Activate(QWidget* dialog)
    {
        dialog->show();
        dialog->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(dialog));
    }

    template <typename T> static T* Find(const QWidget* dialog, int id)
    {
        T* control = dialog->findChild<T*>(QStringLiteral("control%1").arg(id));
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }

    // Types into a field key by key, as the user does; each key is one edit.
    static void Type(QWidget* field, const QString& text) { QTest::keyClicks(field, text); }
    // Replaces a field's whole text by typing over it, so no empty text passes on the way.
    static void Retype(QLineEdit* field, const QString& text)
    {
        field->selectAll();
        Type(field, text);
    }
    static void Clear(QWidget* field)
    {
        QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(field, Qt::Key_Backspace);
    }

    QTemporaryDir dir;
    CanvasHostWidget host;
    CImageDoc reference;
    ScriptedEffectPrompts prompts;
    QImage before;
    std::size_t depth = 0;
};
