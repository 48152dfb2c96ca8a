#pragma once

#include "app/CMainApp.h"
#include "app/CMainDlg.h"
#include "canvas/CDrawView.h"
#include "notify/CNotifyPopup.h"
#include "support/ScriptedPrompts.h"
#include "support/TestImages.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// Counts the paint events a widget receives.
class PaintCounter : public QObject
{
public:
    int paints = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return QObject::eventFilter(watched, event);
    }
};

// A shown, active main window whose document asks the scripted prompts.
class MainWindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        appCaption = QStringLiteral("Quorvel");
        window = std::make_unique<CMainDlg>(nullptr, updateEndpoint);
        window->SetPrompts(&prompts);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        window->Canvas()->viewport()->installEventFilter(&counter);
    }

    CImageDoc& Doc() { return window->Canvas()->doc; }
    CNotifyPopup& Popup() { return *window->Popup(); }

    QString WritePicture(const QString& name, int width = 40, int height = 30)
    {
        const QString path = dir.filePath(name);
        WriteWithQt(MakePhotoLike(width, height), path, name.endsWith(QStringLiteral(".png")) ? "PNG" : "BMP");
        return path;
    }

    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        QTest::keyClick(window.get(), key, modifiers);
    }

    // Opens `path` through Ctrl+O as the user would.
    void OpenPicture(const QString& path)
    {
        prompts.openAnswers.push_back(path);
        Press(Qt::Key_O);
        ASSERT_TRUE(Doc().IsLoaded()) << Doc().GetErrorText().toStdString();
    }

    // Paint events of the canvas since the last call, after the pending updates have run.
    int PaintsSinceLastCall()
    {
        QCoreApplication::processEvents();
        const int paints = counter.paints;
        counter.paints = 0;
        return paints;
    }

    QUrl updateEndpoint; // none: the update check fails at once, without the network
    QTemporaryDir dir;
    ScriptedPrompts prompts; // outlives the window, whose document points to it
    std::unique_ptr<CMainDlg> window;
    PaintCounter counter;
};
