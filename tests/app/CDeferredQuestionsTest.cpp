#include "app/CDeferredQuestions.h"

#include "app/CInputBlocker.h"

#include <QDialog>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

// A question waits while lengthy work blocks the input or a modal window other than the owner is
// open, and is asked once, in order, when neither holds any more.
TEST(CDeferredQuestions, WaitUntilTheUserCanAnswerThenAskEachOnce)
{
    QDialog owner;
    owner.show();
    CDeferredQuestions questions(&owner);
    QSignalSpy deferred(&questions, &CDeferredQuestions::Deferred);
    QStringList asked;
    questions.Ask([&] { asked << QStringLiteral("at once"); });
    EXPECT_EQ(asked, QStringList{QStringLiteral("at once")});

    auto blocker = std::make_unique<CInputBlocker>();
    questions.Ask([&] { asked << QStringLiteral("first"); });
    questions.AskWaiting();
    QDialog modal(&owner);
    modal.setModal(true);
    modal.show();
    blocker.reset();
    questions.Ask([&] { asked << QStringLiteral("second"); });
    questions.AskWaiting();
    EXPECT_EQ(asked.size(), 1);
    EXPECT_EQ(deferred.count(), 2);
    EXPECT_EQ(questions.Pending(), 2u);

    modal.hide();
    questions.AskWaiting();
    questions.AskWaiting();
    EXPECT_EQ(asked, (QStringList{QStringLiteral("at once"), QStringLiteral("first"), QStringLiteral("second")}));
    EXPECT_EQ(questions.Pending(), 0u);
}
