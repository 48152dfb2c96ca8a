// Every step of the batch program gives, byte for byte, the file the editor's document writes after
// the same operation with the same selection.
#include "batch/BatchRun.h"
#include "document/CImageDoc.h"
#include "support/TestImages.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace {

using Operation = std::function<bool(CImageDoc&)>;

struct StepCase
{
    const char* name;
    QStringList arguments;
    Operation expected;
};

struct SelectionCase
{
    const char* name;
    QStringList arguments; // empty: no --select at all
    SelectionKind kind;
    QList<QPoint> committed; // the points the canvas would commit
};

const StepCase stepCases[] = {
    {"Gray", {QStringLiteral("--gray"), QStringLiteral("-40")}, [](CImageDoc& d) { return d.ApplyGray(-40); }},
    {"Invert", {QStringLiteral("--invert")}, [](CImageDoc& d) { return d.ApplyInvert(); }},
    {"Brightness",
     {QStringLiteral("--brightness"), QStringLiteral("60")},
     [](CImageDoc& d) { return d.ApplyBrightness(60); }},
    {"Rgb",
     {QStringLiteral("--rgb"), QStringLiteral("30,-20,255")},
     [](CImageDoc& d) { return d.ApplyRgb(30, -20, 255); }},
    {"ThresholdReversed",
     {QStringLiteral("--threshold=100,reverse")},
     [](CImageDoc& d) { return d.ApplyThreshold(100, true); }},
    {"DottedVerticalLines",
     {QStringLiteral("--lines"), QStringLiteral("90,1,3,#102030,2,100")},
     [](CImageDoc& d) { return d.ApplyLines(90, 1, 3, 0x00302010, 2, 100); }},
    {"WideHorizontalLines",
     {QStringLiteral("--lines=0,4,5,#ff0000,0,0")},
     [](CImageDoc& d) { return d.ApplyLines(0, 4, 5, 0x000000FF, 0, 0); }},
    {"Dots",
     {QStringLiteral("--dots"), QStringLiteral("2,3,#FF8000,40")},
     [](CImageDoc& d) { return d.ApplyDots(2, 3, 0x000080FF, 40); }},
    {"Fill", {QStringLiteral("--fill=#00FF80,128")}, [](CImageDoc& d) { return d.ApplySolidFill(0x0080FF00, 128); }},
    {"FilterGray",
     {QStringLiteral("--filter"), QStringLiteral("150-255,-,20-200,gray:-30")},
     [](CImageDoc& d) {
         return d.ApplyColorFilter(true, 150, 255, false, 0, 255, true, 20, 200, true, -30, 0x00FFFFFF);
     }},
    {"FilterFill",
     {QStringLiteral("--filter"), QStringLiteral("-,200-40,-,fill:#0000FF")},
     [](CImageDoc& d) {
         return d.ApplyColorFilter(false, 0, 255, true, 200, 40, false, 0, 255, false, 0, 0x00FF0000);
     }},
};

const SelectionCase selectionCases[] = {
    {"Whole", {}, SelectionKind::None, {}},
    {"None", {QStringLiteral("--select"), QStringLiteral("none")}, SelectionKind::None, {}},
    // Dragged from the lower right to the upper left, as the canvas may commit it.
    {"Rectangle", {QStringLiteral("--select=rect:90,70,15,10")}, SelectionKind::Rectangle, {{90, 70}, {15, 10}}},
    {"Ellipse",
     {QStringLiteral("--select"), QStringLiteral("ellipse:5,8,110,60")},
     SelectionKind::Ellipse,
     {{5, 8}, {110, 60}}},
    {"Polygon",
     {QStringLiteral("--select"), QStringLiteral("polygon:10,5;100,20;60,80;20,50")},
     SelectionKind::Polygon,
     {{10, 5}, {100, 20}, {60, 80}, {20, 50}, {10, 5}}},
    {"Freeform",
     {QStringLiteral("--select"), QStringLiteral("freeform:30,10;31,12;33,15;60,70;5,40")},
     SelectionKind::Freeform,
     {{30, 10}, {31, 12}, {33, 15}, {60, 70}, {5, 40}, {30, 10}}},
    // Beyond the picture: clipped to it.
    {"RectangleBeyond",
     {QStringLiteral("--select=rect:60,40,100000,100000")},
     SelectionKind::Rectangle,
     {{60, 40}, {100000, 100000}}},
};

class BatchStepsTest : public ::testing::TestWithParam<std::tuple<int, int>>
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        input = WriteWithQt(MakePhotoLike(120, 90, 7), dir.filePath(QStringLiteral("photo.png")), "png");
    }

    QTemporaryDir dir;
    QString input;
};

TEST_P(BatchStepsTest, WritesWhatTheDocumentWrites)
{
    const StepCase& step = stepCases[std::get<0>(GetParam())];
    const SelectionCase& selection = selectionCases[std::get<1>(GetParam())];
    const QString output = dir.filePath(QStringLiteral("batch.png"));
    const BatchRun run(selection.arguments + step.arguments + QStringList{QStringLiteral("-o"), output, input});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    CImageDoc doc;
    ASSERT_TRUE(doc.Load(input));
    for (const QPoint& p : selection.committed)
        doc.selection.AddPoint(p);
    doc.selection.kind = selection.kind;
    ASSERT_TRUE(step.expected(doc));
    const QString expected = dir.filePath(QStringLiteral("document.png"));
    ASSERT_TRUE(doc.WriteImage(expected));

    const QByteArray written = FileBytes(output);
    ASSERT_FALSE(written.isEmpty());
    EXPECT_EQ(written, FileBytes(expected));
}

INSTANTIATE_TEST_SUITE_P(StepsAndSelections, BatchStepsTest,
                         ::testing::Combine(::testing::Range(0, int(std::size(stepCases))),
                                            ::testing::Range(0, int(std::size(selectionCases)))),
                         [](const auto& info) {
                             return std::string(stepCases[std::get<0>(info.param)].name) + "_" +
                                    selectionCases[std::get<1>(info.param)].name;
                         });

// Steps run in the order given, each with the selection set before it.
TEST(BatchStepOrder, FollowsTheCommandLine)
{
    QTemporaryDir dir;
    const QString input = WriteWithQt(MakePhotoLike(64, 48, 3), dir.filePath(QStringLiteral("in.bmp")), "bmp");
    const QString output = dir.filePath(QStringLiteral("out.png"));
    const BatchRun run({QStringLiteral("--brightness"), QStringLiteral("80"), QStringLiteral("--select=rect:8,8,40,30"),
                        QStringLiteral("--threshold"), QStringLiteral("128"), QStringLiteral("--select=none"),
                        QStringLiteral("--invert"), input, QStringLiteral("-o"), output});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();

    CImageDoc doc;
    ASSERT_TRUE(doc.Load(input));
    ASSERT_TRUE(doc.ApplyBrightness(80));
    doc.selection.AddPoint({8, 8});
    doc.selection.AddPoint({40, 30});
    doc.selection.kind = SelectionKind::Rectangle;
    ASSERT_TRUE(doc.ApplyThreshold(128, false));
    doc.selection.Clear();
    ASSERT_TRUE(doc.ApplyInvert());
    const QString expected = dir.filePath(QStringLiteral("expected.png"));
    ASSERT_TRUE(doc.WriteImage(expected));
    EXPECT_EQ(FileBytes(output), FileBytes(expected));
}

// Without steps the program converts: the output's format follows its extension as the editor's
// save does (GIF with its own palette, JPEG of an all-grey picture with one channel).
TEST(BatchFormats, FollowTheOutputExtension)
{
    QTemporaryDir dir;
    const QString input = WriteWithQt(MakePhotoLike(64, 48, 5), dir.filePath(QStringLiteral("in.png")), "png");
    for (const char* extension : {"gif", "jpg", "jpeg", "bmp"}) {
        const QString name = QStringLiteral("out.") + QLatin1String(extension);
        const QString output = dir.filePath(QStringLiteral("batch-") + name);
        const BatchRun run({QStringLiteral("--gray=0"), input, QStringLiteral("-o"), output});
        ASSERT_EQ(run.status, 0) << run.err.toStdString();
        CImageDoc doc;
        ASSERT_TRUE(doc.Load(input));
        ASSERT_TRUE(doc.ApplyGray(0));
        const QString expected = dir.filePath(QStringLiteral("document-") + name);
        ASSERT_TRUE(doc.WriteImage(expected));
        EXPECT_EQ(FileBytes(output), FileBytes(expected)) << extension;
    }
}

} // namespace
