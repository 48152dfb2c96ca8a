#pragma once

#include "batch/BatchPlan.h"

#include <QCommandLineParser>
#include <QStringList>

// The command line of quorvel-batch: steps in the order given, inputs, and -o or -d. Everything is
// checked before any file is read, so a mistake costs nothing.
class CBatchCommandLine
{
public:
    enum class Outcome
    {
        Run,      // Plan() is ready
        Answered, // help or version asked for: Message() is the answer
        Refused,  // Message() says what is wrong
    };

    static constexpr int MaxWorkers = 256;

    CBatchCommandLine();

    // `arguments` as main() gets them, the program first.
    Outcome Parse(const QStringList& arguments);
    const BatchPlan& Plan() const { return plan; }
    const QString& Message() const { return message; }

    QString HelpText() const;

private:
    bool Reject(const QString& text); // keeps `text` as the message; always false
    QString ParseErrorText(const QStringList& arguments) const;
    bool ReadSteps();
    bool ReadOutputs();
    bool ReadJobs();
    // The jobs of -d: each input's name in the output directory, with the extension --format asks.
    bool PlanDirectory(const QStringList& inputs, const QString& format);
    // The value of an option that may be given at most once; false when given more often.
    bool SingleValue(const QString& name, QString& value);

    QList<QCommandLineOption> options; // in the order the help lists them
    QCommandLineParser parser;
    BatchPlan plan;
    QString message;
};
