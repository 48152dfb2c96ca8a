// The update check as the editor starts it: announced at once, never in the way of the window,
// its offer asked in a question box and opened only on Yes.
#include "MainWindowFixture.h"

#include "app/CDeferredQuestions.h"
#include "app/CFilePrompts.h"
#include "app/CInputBlocker.h"
#include "support/LoopbackHttpServer.h"
#include "support/ProcessUntil.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QScopeGuard>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <thread>

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

    static constexpr const char* offer = "2.0\nhttps://quorvel.example/get\n";
    LoopbackHttpServer server;
    QList<QUrl> opened;
};

class StalledServer : public UpdateCheckStartup
{
protected:
    StalledServer() : UpdateCheckStartup(LoopbackHttpServer::Mode::Stall) {}
};

// Lengthy work run as the window's own runs it (on a thread, behind the input blocker), held until
// `release` is set, or ten seconds have passed.
class HeldLengthyWork : public ScriptedPrompts
{
public:
    explicit HeldLengthyWork(QWidget* owner) : own(owner) {}

    void RunLengthy(const QString& what, const std::function<void()>& work) override
    {
        if (started)
            QTimer::singleShot(0, started); // runs inside the work's event loop
        own.RunLengthy(what, [&] {
            const QDeadlineTimer deadline(10000);
            while (!release && !deadline.hasExpired())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            work();
        });
    }

    std::function<void()> started;
    std::atomic<bool> release{false};

private:
    CFilePrompts own;
};

class NewerVersion : public UpdateCheckStartup
{
protected:
    NewerVersion() : UpdateCheckStartup(LoopbackHttpServer::Mode::Serve, offer) {}
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

// The offer arriving while a picture is read waits for the read to end, since the input blocker
// would swallow every answer, and is asked then, once.
TEST_F(StalledServer, AnOfferArrivingDuringALoadIsAskedAfterItAndCanBeAnswered)
{
    ASSERT_TRUE(ProcessUntil([&] { return server.requests == 1; }));
    auto* questions = window->findChild<CDeferredQuestions*>();
    ASSERT_NE(questions, nullptr);
    HeldLengthyWork held(window.get());
    window->SetPrompts(&held);
    const auto restore = qScopeGuard([&] { window->SetPrompts(&prompts); });
    held.openAnswers.push_back(WritePicture(QStringLiteral("a.png")));
    held.started = [&] { server.Release(offer); };
    QObject::connect(questions, &CDeferredQuestions::Deferred, [&] { held.release = true; });
    bool askedBehindTheBlocker = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && CInputBlocker::IsActive()) {
            askedBehindTheBlocker = true;
            box->button(QMessageBox::No)->click(); // what no user could do
        }
    });
    watch.start(5);

    Press(Qt::Key_O);
    EXPECT_TRUE(Doc().IsLoaded());
    EXPECT_TRUE(held.release) << "the offer arrived during the load";
    EXPECT_FALSE(askedBehindTheBlocker);
    watch.stop();
    EXPECT_EQ(Answer(QMessageBox::Yes), QStringLiteral("Quorvel|软件有新版本了,是否要下载新的版本?"));
    EXPECT_EQ(opened, QList<QUrl>{QUrl(QStringLiteral("https://quorvel.example/get"))});
    EXPECT_EQ(questions->Pending(), 0u);
}
