// What the batch command line accepts and refuses. A refusal names the option and what it takes,
// ends the program with status 2 and happens before any file is touched.
#include "batch/BatchRun.h"
#include "batch/CBatchCommandLine.h"
#include "batch/CStepParser.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QStringList Split(const QString& arguments)
{
    return arguments.split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

// Parses `arguments` with one input and an output file added.
CBatchCommandLine::Outcome ParseStep(const QString& arguments, QString* message = nullptr)
{
    CBatchCommandLine commandLine;
    const auto outcome =
        commandLine.Parse(QStringList{QStringLiteral("quorvel-batch")} + Split(arguments) +
                          QStringList{QStringLiteral("in.png"), QStringLiteral("-o"), QStringLiteral("out.png")});
    if (message)
        *message = commandLine.Message();
    return outcome;
}

// One parameter's range: the value at each end is taken, the one just beyond is refused with a
// message naming the option and the range. `form` holds %1 where the parameter goes.
struct Bound
{
    const char* form;
    int lowest;
    int highest;
};

const Bound bounds[] = {
    {"--gray %1", -255, 255},
    {"--brightness %1", -255, 255},
    {"--rgb %1,0,0", -255, 255},
    {"--rgb 0,%1,0", -255, 255},
    {"--rgb 0,0,%1", -255, 255},
    {"--threshold %1", 0, 255},
    {"--threshold %1,reverse", 0, 255},
    {"--lines 0,%1,0,#000000,0,0", 1, 3000},
    {"--lines 90,1,%1,#000000,0,0", 0, 3000},
    {"--lines 0,1,1,#000000,%1,0", 0, 4},
    {"--lines 0,1,1,#000000,0,%1", 0, 255},
    {"--dots %1,0,#000000,0", 0, 3000},
    {"--dots 0,%1,#000000,0", 0, 3000},
    {"--dots 0,0,#000000,%1", 0, 255},
    {"--fill #000000,%1", 0, 255},
    {"--filter 0-%1,-,-,gray:0", 0, 255},
    {"--filter -,%1-255,-,gray:0", 0, 255},
    {"--filter -,-,%1-%1,gray:0", 0, 255},
    {"--filter -,-,-,gray:%1", -255, 255},
    {"--select rect:%1,0,9,9", 0, 100000},
    {"--select ellipse:0,1,2,%1", 0, 100000},
    {"--select polygon:0,0;%1,1;5,9", 0, 100000},
    {"--select freeform:0,0;1,%1;5,9", 0, 100000},
    {"-j %1", 1, 256},
};

TEST(BatchCommandLine, TakesEachRangeToItsEndsAndRefusesOneBeyond)
{
    for (const Bound& bound : bounds) {
        const QString form = QString::fromUtf8(bound.form);
        const QString option = form.section(QLatin1Char(' '), 0, 0);
        const QString range = QStringLiteral("%1 到 %2").arg(bound.lowest).arg(bound.highest);
        for (const int inside : {bound.lowest, bound.highest}) {
            QString message;
            EXPECT_EQ(ParseStep(form.arg(inside), &message), CBatchCommandLine::Outcome::Run)
                << form.arg(inside).toStdString() << ": " << message.toStdString();
        }
        for (const int beyond : {bound.lowest - 1, bound.highest + 1}) {
            QString message;
            const QString arguments = form.arg(beyond);
            // A negative minimum of a colour filter channel reads as a malformed MIN-MAX.
            EXPECT_EQ(ParseStep(arguments, &message), CBatchCommandLine::Outcome::Refused) << arguments.toStdString();
            EXPECT_TRUE(message.contains(option)) << message.toStdString();
            if (!(option == QLatin1String("--filter") && beyond < 0)) {
                EXPECT_TRUE(message.contains(range)) << arguments.toStdString() << ": " << message.toStdString();
            }
        }
    }
}

struct Refusal
{
    const char* arguments;
    const char* expected; // part of the message
};

// Each case is refused with a message holding its expected part; `before` goes first on the line.
template <std::size_t N> void ExpectRefusals(const Refusal (&cases)[N], const QStringList& before = {})
{
    for (const Refusal& c : cases) {
        CBatchCommandLine commandLine;
        const QStringList arguments =
            QStringList{QStringLiteral("quorvel-batch")} + before + Split(QString::fromUtf8(c.arguments));
        EXPECT_EQ(commandLine.Parse(arguments), CBatchCommandLine::Outcome::Refused) << c.arguments;
        EXPECT_TRUE(commandLine.Message().contains(QString::fromUtf8(c.expected)))
            << c.arguments << ": " << commandLine.Message().toStdString();
    }
}

TEST(BatchCommandLine, RefusesMalformedValuesNamingWhatIsExpected)
{
    const Refusal cases[] = {
        {"--gray 1e3", "LEVEL"},
        {"--gray 0x10", "LEVEL"},
        {"--gray 99999999999999999999", "-255 到 255"},
        {"--gray= 5", "LEVEL"},
        {"--rgb 1,2", "R,G,B"},
        {"--rgb 1,2,3,4", "R,G,B"},
        {"--threshold 10,rev", "T,reverse"},
        {"--lines 45,1,1,#000000,0,0", "DIRECTION"},
        {"--lines 0,2,1,#000000,1,0", "KIND"},
        {"--lines 0,1,1,#00000,0,0", "#RRGGBB"},
        {"--lines 0,1,1,#GG0000,0,0", "#RRGGBB"},
        {"--lines 0,1,1,000000,0,0", "#RRGGBB"},
        {"--lines 0,1,1,#0000000,0,0", "#RRGGBB"},
        {"--dots 1,1,#000000", "LR,TB,#RRGGBB,TRANSLUCENCY"},
        {"--fill red,0", "#RRGGBB"},
        {"--filter 10-20,-,-", "gray:LEVEL|fill:#RRGGBB"},
        {"--filter 10,-,-,gray:0", "MIN-MAX"},
        {"--filter -,-,-,grey:0", "gray:LEVEL"},
        {"--filter -,-,-,fill:#12", "#RRGGBB"},
        {"--select circle:1,2,3,4", "rect:"},
        {"--select rect:1,2,3", "X0,Y0,X1,Y1"},
        {"--select rect:5,5,5,5", "同一个点"},
        {"--select polygon:1,1;9,9", "三个点"},
        {"--select freeform:1,1;2;3,3", "X,Y"},
        {"--blur 3", "--blur"},
        {"--gray=5 --invert=1", "选项 --invert 不带参数值"},
        {"--gray 0 --gray", "--gray"},
    };
    ExpectRefusals(cases, {QStringLiteral("-o"), QStringLiteral("out.png"), QStringLiteral("in.png")});
}

TEST(BatchCommandLine, RefusesOutputsThatDoNotAddUp)
{
    const Refusal cases[] = {
        {"--invert -o out.png", "没有给出输入文件"},
        {"--invert a.png", "-o"},
        {"--invert a.png -o out.png -d dir", "二者选一"},
        {"--invert a.png b.png -o out.png", "-d"},
        {"--invert a.png -o out.png --format gif", "--format"},
        {"--invert a.png -o out.tif", ".bmp、.jpg、.jpeg、.gif 或 .png"},
        {"--invert a.png -o x.png -o y.png", "只能给一次"},
        {"--invert a.png -d dir --format tif", "bmp、jpg、jpeg、gif 或 png"},
        {"--invert a.tif -d dir", "--format"},
        {"--invert one/x.png two/x.png -d dir", "同一个输出文件"},
        {"--invert x.png x.jpg -d dir --format gif", "同一个输出文件"},
        {"--invert x.png -d dir -j 0", "1 到 256"},
    };
    ExpectRefusals(cases);
}

TEST(BatchCommandLine, PlansTheOutputsOfAFolder)
{
    CBatchCommandLine commandLine;
    ASSERT_EQ(commandLine.Parse({QStringLiteral("quorvel-batch"), QStringLiteral("a/photo.one.JPG"),
                                 QStringLiteral("b/scan"), QStringLiteral("-d"), QStringLiteral("out"),
                                 QStringLiteral("--format"), QStringLiteral("PNG")}),
              CBatchCommandLine::Outcome::Run)
        << commandLine.Message().toStdString();
    const BatchPlan& plan = commandLine.Plan();
    ASSERT_EQ(plan.jobs.size(), 2);
    EXPECT_EQ(plan.jobs[0].output, QStringLiteral("out/photo.one.png"));
    EXPECT_EQ(plan.jobs[1].output, QStringLiteral("out/scan.png"));
    EXPECT_TRUE(plan.steps.isEmpty());
    EXPECT_FALSE(plan.overwrite);
}

TEST(BatchCommandLine, AnswersHelpAndVersionWithoutRunning)
{
    const BatchRun help({QStringLiteral("--help")});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("用法: quorvel-batch")));
    for (const CStepParser::Option& option : CStepParser::Options()) {
        EXPECT_TRUE(help.out.contains(QStringLiteral("--") + option.name)) << option.name.toStdString();
    }
    const BatchRun version({QStringLiteral("-v")});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(version.out.startsWith(QStringLiteral("quorvel-batch ")));
}

// The refusal comes before any work: the output folder is not even made.
TEST(BatchCommandLine, RefusalEndsWithStatusTwoBeforeTouchingFiles)
{
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("out"));
    const BatchRun run({QStringLiteral("--invert"), QStringLiteral("--gray"), QStringLiteral("256"),
                        dir.filePath(QStringLiteral("missing.png")), QStringLiteral("-d"), folder});
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("--gray"))) << run.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(folder));
}

} // namespace
