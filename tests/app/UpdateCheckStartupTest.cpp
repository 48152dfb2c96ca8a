// The update check as the editor starts it: announced at once, never in the way of the window,
// its offer asked in a question box and opened only on Yes.
#include "MainWindowFixture.h"

#include "support/LoopbackHttpServer.h"
#include "support/ProcessUntil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

namespace {

// A main window whose update check asks the loopback server, set up before the window starts.
class UpdateCheckStartup : public MainWindowTest
{
protected:
    explicit UpdateCheckStartup(LoopbackHttpServer::Mode mode, const QByteArray& body = {})
    {
        server.mode = mode;
        server.body = body;
        updateEndpoint = server.Url();
    }
    void SetUp() override
    {
        MainWindowTest::SetUp();
        window->SetUrlOpener([this](const QUrl& address) { opened.append(address); });
    }

    LoopbackHttpServer server;
    QList<QUrl> opened;
};

class StalledServer : public UpdateCheckStartup
{
protected:
    StalledServer() : UpdateCheckStartup(LoopbackHttpServer::Mode::Stall) {}
};

class NewerVersion : public UpdateCheckStartup
{
protected:
    NewerVersion() : UpdateCheckStartup(LoopbackHttpServer::Mode::Serve, "2.0\nhttps://quorvel.example/get\n") {}

    // Answers the question with `button` once it shows; returns the question's caption and text.
    // The box runs its own event loop, so a timer does the answering from inside it.
    QString Answer(QMessageBox::StandardButton button)
    {
        QString asked;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box || !asked.isEmpty())
                return;
            asked = box->windowTitle() + QLatin1Char('|') + box->text();
            EXPECT_EQ(box->parentWidget(), window.get());
            box->button(button)->click();
        });
        poll.start(5);
        EXPECT_TRUE(ProcessUntil([&] { return !asked.isEmpty() && !QApplication::activeModalWidget(); }));
        return asked;
    }
};

} // namespace

TEST_F(StalledServer, AnnouncedAtOnceAndTheWindowStaysResponsive)
{
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("正在检测更新..."));
    EXPECT_EQ(Popup().VisibleSymbol(), static_cast<int>(NoticeKind::Success));
    ASSERT_TRUE(ProcessUntil([&] { return server.requests == 1; }));

    // The server holds the request; the window goes on working meanwhile.
    OpenPicture(WritePicture(QStringLiteral("a.png")));
    Press(Qt::Key_R);
    EXPECT_EQ(window->Canvas()->GetTool(), SelectionKind::Rectangle);
    window->MenuAction(CMainDlg::Invert)->trigger();
    EXPECT_EQ(Popup().MessageText(), QStringLiteral("反色处理成功"));

    // Closing lets go of the connection.
    Doc().Clear();
    window->close();
    window.reset();
    EXPECT_TRUE(ProcessUntil([&] { return server.closed == 1; }));
}

TEST_F(NewerVersion, YesOpensTheOfferedAddress)
{
    EXPECT_EQ(Answer(QMessageBox::Yes), QStringLiteral("Quorvel|软件有新版本了,是否要下载新的版本?"));
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("https://quorvel.example/get"))});
    EXPECT_TRUE(window->isVisible());
}

TEST_F(NewerVersion, NoOpensNothing)
{
    Answer(QMessageBox::No);
    QCoreApplication::processEvents();
    EXPECT_TRUE(opened.isEmpty());
}
