#include "batch/BatchMain.h"

#include "batch/CBatchCommandLine.h"
#include "batch/CBatchRunner.h"

int RunBatch(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    CBatchCommandLine commandLine;
    switch (commandLine.Parse(arguments)) {
    case CBatchCommandLine::Outcome::Answered:
        out << commandLine.Message() << Qt::endl;
        return 0;
    case CBatchCommandLine::Outcome::Refused:
        err << "quorvel-batch: " << commandLine.Message() << Qt::endl;
        return 2;
    case CBatchCommandLine::Outcome::Run:
        break;
    }
    CBatchRunner runner(commandLine.Plan(), [&err](const QString& line) { err << line << Qt::endl; });
    return runner.Run();
}
