#include "document/CImageDoc.h"

#include "support/ReadOnlyPath.h"
#include "support/ScriptedPrompts.h"
#include "support/TestImages.h"
#include "tiles/CTilePool.h"

#include <QDir>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using Answer = CDocumentPrompts::Answer;

QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class CImageDocFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        doc.SetOwner(&prompts);
        photo = MakePhotoLike(160, 120);
        pngPath = WriteWithQt(photo, Path("photo.png"), "png");
        ASSERT_FALSE(pngPath.isEmpty());
    }

    QString Path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    void Modify()
    {
        auto state = doc.CurrentState().Clone();
        QImage patch(20, 20, QImage::Format_RGB32);
        patch.fill(qRgb(0, 0, 0));
        ASSERT_TRUE(state->WriteRegion(patch, QPoint(5, 5)));
        doc.PushState(std::move(state));
    }

    QTemporaryDir dir;
    ScriptedPrompts prompts;
    CImageDoc doc;
    QImage photo;
    QString pngPath;
};

} // namespace

TEST(CImageDocTypes, ExtensionDecidesTypeAndDecoder)
{
    struct Case
    {
        const char* path;
        FileType type;
        int format;
    };
    const Case cases[] = {
        {"/a/b.bmp", FileType::Bmp, 1},        {"/a/b.gif", FileType::Gif, 2},
        {"/a/b.jpg", FileType::Jpg, 3},        {"/a/Photo.JPG", FileType::Jpg, 3},
        {"/a/b.jpeg", FileType::Jpeg, 3},      {"/a/B.PnG", FileType::Png, 4},
        {"/a/picture.tif", FileType::None, 1}, {"/a/picture", FileType::None, 1},
        {"/a.png/picture", FileType::None, 1}, {"/a/archive.png.bmp", FileType::Bmp, 1},
        {"/a/.png", FileType::Png, 4},         {"/a/b.", FileType::None, 1},
    };
    for (const Case& c : cases) {
        const QString path = QString::fromUtf8(c.path);
        EXPECT_EQ(CImageDoc::TypeFromExtension(path), c.type) << c.path;
        EXPECT_EQ(CImageDoc::CodecFormat(CImageDoc::TypeFromExtension(path)), c.format) << c.path;
    }
}

TEST(CImageDocTypes, FilterListsInTheirOrder)
{
    const auto open = CImageDoc::OpenFilters();
    ASSERT_EQ(open.size(), 6);
    EXPECT_EQ(open[0].label, QStringLiteral("所有图片文件"));
    EXPECT_EQ(open[0].pattern, QStringLiteral("*.gif;*.bmp;*.jpg;*.jpeg;*.png"));
    const auto save = CImageDoc::SaveFilters();
    ASSERT_EQ(save.size(), 5);
    EXPECT_EQ(save[0].label, QStringLiteral("BMP文件(*.bmp)"));
    EXPECT_EQ(save[4].pattern, QStringLiteral("*.png"));
    for (int i = 0; i < save.size(); ++i)
        EXPECT_EQ(open[i + 1].label, save[i].label);
}

TEST_F(CImageDocFiles, RoundTripThroughEachFormat)
{
    ASSERT_TRUE(doc.Load(pngPath));
    struct Case
    {
        const char* name;
        double maxError; // mean per channel
    };
    for (const Case& c : {Case{"copy.bmp", 0.0}, Case{"copy.png", 0.0}, Case{"copy.jpg", 2.0}, Case{"copy.jpeg", 2.0},
                          Case{"copy.gif", 8.0}}) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(doc.Load(pngPath));
        Modify();
        const QImage before = doc.CurrentState().ReadAll();
        prompts.saveAnswers.push_back(Path(c.name));
        ASSERT_TRUE(doc.SaveAs()) << doc.GetErrorText().toStdString();
        EXPECT_EQ(doc.GetPath(), Path(c.name));
        EXPECT_EQ(doc.GetType(), CImageDoc::TypeFromExtension(Path(c.name)));
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(doc.UndoDepth(), 1u) << "the written file starts a fresh history";
        EXPECT_EQ(doc.RedoDepth(), 0u);
        const QImage after = doc.CurrentState().ReadAll();
        if (c.maxError == 0.0)
            EXPECT_EQ(after, before);
        else
            EXPECT_LE(MeanChannelError(after, before), c.maxError);
        EXPECT_EQ(after, QImage(Path(c.name)).convertToFormat(QImage::Format_RGB32))
            << "the state is the file as stored";
    }
}

TEST_F(CImageDocFiles, GifIsReadBackAsItsPalettePicture)
{
    ASSERT_TRUE(doc.Load(pngPath));
    prompts.saveAnswers.push_back(Path("eight.gif"));
    ASSERT_TRUE(doc.SaveAs());
    const QImage stored = QImage(Path("eight.gif")).convertToFormat(QImage::Format_RGB32);
    QSet<QRgb> colours;
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width(); ++x)
            colours.insert(stored.pixel(x, y));
    EXPECT_LE(colours.size(), 256) << "an 8-bit picture";
    EXPECT_GT(colours.size(), 16) << "dithered, not posterised";
    EXPECT_EQ(doc.CurrentState().ReadAll(), stored);
    EXPECT_FALSE(doc.Undo());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("已经撤消到第一个状态了"));
}

TEST_F(CImageDocFiles, GreyPictureStaysGreyAsJpeg)
{
    const QString grey = WriteWithQt(photo.convertToFormat(QImage::Format_Grayscale8), Path("grey.png"), "png");
    ASSERT_TRUE(doc.Load(grey));
    prompts.saveAnswers.push_back(Path("grey.jpg"));
    ASSERT_TRUE(doc.SaveAs());
    const QImage stored = doc.CurrentState().ReadAll();
    for (int y = 0; y < stored.height(); ++y)
        for (int x = 0; x < stored.width(); ++x)
            ASSERT_TRUE(qRed(stored.pixel(x, y)) == qGreen(stored.pixel(x, y)) &&
                        qGreen(stored.pixel(x, y)) == qBlue(stored.pixel(x, y)))
                << x << "," << y;
}

TEST_F(CImageDocFiles, UppercaseJpegExtensionIsReadAsJpeg)
{
    const QString path = WriteWithQt(photo, Path("Photo.JPG"), "jpeg");
    ASSERT_TRUE(doc.Load(path)) << doc.GetErrorText().toStdString();
    EXPECT_EQ(doc.GetType(), FileType::Jpg);
    EXPECT_LE(MeanChannelError(doc.CurrentState().ReadAll(), photo), 2.0);
}

TEST_F(CImageDocFiles, TransparentPixelsOpenWhite)
{
    QImage clear(10, 10, QImage::Format_ARGB32);
    clear.fill(Qt::transparent);
    clear.setPixel(3, 3, qRgba(255, 0, 0, 255));
    for (const char* name : {"clear.png", "clear.gif"}) {
        SCOPED_TRACE(name);
        const QString path = WriteWithQt(clear, Path(name), name[6] == 'p' ? "png" : "gif");
        if (path.isEmpty() && name[6] == 'g')
            continue; // Qt has no GIF writer; the codec tests cover transparent GIF files
        ASSERT_TRUE(doc.Load(path));
        const QImage loaded = doc.CurrentState().ReadAll();
        EXPECT_EQ(loaded.pixel(0, 0), qRgb(255, 255, 255));
        EXPECT_EQ(loaded.pixel(3, 3), qRgb(255, 0, 0));
    }
}

TEST_F(CImageDocFiles, UnreadableFilesAreRefusedAndLeaveTheDocumentEmpty)
{
    QFile::copy(pngPath, Path("picture.tif"));
    QFile::copy(pngPath, Path("picture"));
    QFile::copy(pngPath, Path("notreally.bmp"));
    QFile broken(Path("broken.png"));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write(ReadBytes(pngPath).left(40));
    broken.close();
    for (const char* name : {"picture.tif", "picture", "notreally.bmp", "broken.png", "missing.png"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(doc.Load(pngPath));
        EXPECT_FALSE(doc.Load(Path(name)));
        EXPECT_EQ(doc.GetErrorText(), QStringLiteral("无法打开文件"));
        EXPECT_FALSE(doc.IsLoaded());

        ASSERT_TRUE(doc.Load(pngPath));
        prompts.openAnswers.push_back(Path(name));
        EXPECT_FALSE(doc.Open());
        EXPECT_EQ(doc.GetErrorText(), QStringLiteral("打开文件时发生错误"));
        EXPECT_FALSE(doc.IsLoaded());
    }
}

TEST_F(CImageDocFiles, PictureTooLargeForMemoryIsRefused)
{
    CTilePool::Shared().SetLiveLimit(CTilePool::Shared().LiveBytes() + CTilePool::TileBytes);
    const bool loaded = doc.Load(pngPath);
    CTilePool::Shared().SetLiveLimit(0);
    EXPECT_FALSE(loaded);
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("无法打开文件"));
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_EQ(doc.GetWidth(), 0u);
    EXPECT_TRUE(doc.Load(pngPath)) << "and opens once memory is there";
}

TEST_F(CImageDocFiles, OpenClosesAnUnchangedImageWithoutAsking)
{
    ASSERT_TRUE(doc.Load(pngPath));
    EXPECT_FALSE(doc.Open()); // the file dialog is cancelled
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("用户取消了打开文件的操作"));
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_FALSE(doc.IsLoaded()) << "the previous image was closed before the dialog";
    ASSERT_EQ(prompts.openFilterLists.size(), 1);
    EXPECT_EQ(prompts.openFilterLists[0].size(), 6);

    prompts.openAnswers.push_back(pngPath);
    EXPECT_TRUE(doc.Open());
    EXPECT_EQ(doc.GetPath(), pngPath);
}

TEST_F(CImageDocFiles, OpenOverAModifiedImage)
{
    ASSERT_TRUE(doc.Load(pngPath));
    Modify();
    prompts.questionAnswers.push_back(Answer::Cancel);
    EXPECT_FALSE(doc.Open());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("用户取消了关闭文件的操作"));
    EXPECT_TRUE(doc.IsLoaded());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.UndoDepth(), 2u);
    ASSERT_EQ(prompts.questions.size(), 1);
    EXPECT_EQ(prompts.questions[0], QStringLiteral("询问|是否要保存当前文件: ") + pngPath);
    EXPECT_TRUE(prompts.openFilterLists.isEmpty()) << "no file dialog after a cancelled question";
}

TEST_F(CImageDocFiles, CloseQuestionAnswers)
{
    const QByteArray onDisk = ReadBytes(pngPath);

    ASSERT_TRUE(doc.Load(pngPath));
    EXPECT_TRUE(doc.CloseWithPrompt()) << "unchanged: no question";
    EXPECT_TRUE(prompts.questions.isEmpty());

    ASSERT_TRUE(doc.Load(pngPath));
    Modify();
    prompts.questionAnswers.push_back(Answer::No);
    EXPECT_TRUE(doc.CloseWithPrompt());
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_EQ(ReadBytes(pngPath), onDisk) << "No writes nothing";

    ASSERT_TRUE(doc.Load(pngPath));
    Modify();
    const QImage changed = doc.CurrentState().ReadAll();
    prompts.questionAnswers.push_back(Answer::Yes);
    EXPECT_TRUE(doc.CloseWithPrompt());
    EXPECT_FALSE(doc.IsLoaded());
    EXPECT_EQ(QImage(pngPath).convertToFormat(QImage::Format_RGB32), changed);
}

TEST_F(CImageDocFiles, FailedWriteOnCloseKeepsThePicture)
{
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    const QString inSub = WriteWithQt(photo, Path("sub/photo.png"), "png");
    ASSERT_TRUE(doc.Load(inSub));
    Modify();
    ASSERT_TRUE(QDir(Path("sub")).removeRecursively()); // the write can no longer succeed
    prompts.questionAnswers.push_back(Answer::Yes);
    EXPECT_FALSE(doc.CloseWithPrompt());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("文件保存不成功"));
    EXPECT_TRUE(doc.IsLoaded());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.UndoDepth(), 2u);
}

TEST_F(CImageDocFiles, FailedWritesKeepTheDocumentModified)
{
    ASSERT_TRUE(doc.Load(pngPath));
    Modify();
    prompts.saveAnswers.push_back(Path("picture.tif"));
    EXPECT_FALSE(doc.SaveAs());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("文件无法另存为"));
    EXPECT_EQ(doc.UndoDepth(), 2u);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_FALSE(QFile::exists(Path("picture.tif")));

    prompts.saveAnswers.push_back(Path("nowhere/copy.png"));
    EXPECT_FALSE(doc.SaveAs());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("文件无法另存为"));
    EXPECT_TRUE(doc.IsModified());

    EXPECT_FALSE(doc.SaveAs()); // dialog cancelled
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("用户取消了文件另存为"));
    EXPECT_EQ(doc.GetPath(), pngPath);

    QFile::remove(pngPath);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("photo.png"))); // a folder where the file was
    EXPECT_FALSE(doc.Save());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("文件无法保存"));
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.UndoDepth(), 2u);
}

// In a folder that takes no new file, Save writes the picture's own file in place; where that
// file refuses too, the save fails and the changes stay unsaved.
TEST_F(CImageDocFiles, SaveInAFolderThatTakesNoNewFile)
{
    ASSERT_TRUE(doc.Load(pngPath));
    Modify();
    const QImage changed = doc.CurrentState().ReadAll();
    const ReadOnlyPath folder(dir.path());
    if (!folder.Holds())
        GTEST_SKIP() << ReadOnlyPath::NotHeld;
    {
        const ReadOnlyPath file(pngPath);
        EXPECT_FALSE(doc.Save());
        EXPECT_EQ(doc.GetErrorText(), QStringLiteral("文件无法保存"));
        EXPECT_TRUE(doc.IsModified());
        EXPECT_EQ(QImage(pngPath).convertToFormat(QImage::Format_RGB32), photo.convertToFormat(QImage::Format_RGB32));
    }
    ASSERT_TRUE(doc.Save()) << doc.GetErrorText().toStdString();
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(QImage(pngPath).convertToFormat(QImage::Format_RGB32), changed);
}

TEST_F(CImageDocFiles, SaveWritesAndReadsBack)
{
    ASSERT_TRUE(doc.Load(pngPath));
    Modify();
    const QImage changed = doc.CurrentState().ReadAll();
    ASSERT_TRUE(doc.Save());
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.UndoDepth(), 1u);
    EXPECT_EQ(doc.CurrentState().ReadAll(), changed);
    EXPECT_EQ(QImage(pngPath).convertToFormat(QImage::Format_RGB32), changed);
}

TEST_F(CImageDocFiles, NothingLoadedRefusesWrites)
{
    EXPECT_FALSE(doc.Save());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("当前没有打开文件"));
    EXPECT_FALSE(doc.SaveAs());
    EXPECT_EQ(doc.GetErrorText(), QStringLiteral("当前没有打开文件"));
    EXPECT_TRUE(prompts.saveFilterLists.isEmpty());
    EXPECT_TRUE(doc.CloseWithPrompt());
}

TEST_F(CImageDocFiles, LongPathsWork)
{
    QString deep = dir.path();
    for (int i = 0; i < 6; ++i) {
        deep += QLatin1Char('/') + QString(60, QLatin1Char('d'));
        ASSERT_TRUE(QDir().mkpath(deep));
    }
    const QString path = deep + QStringLiteral("/长的名字.png");
    ASSERT_GT(path.size(), 300);
    ASSERT_FALSE(WriteWithQt(photo, path, "png").isEmpty());
    ASSERT_TRUE(doc.Load(path));
    Modify();
    prompts.saveAnswers.push_back(deep + QStringLiteral("/另存.bmp"));
    EXPECT_TRUE(doc.SaveAs()) << doc.GetErrorText().toStdString();
}

TEST_F(CImageDocFiles, CodecWorkRunsThroughTheOwnerWhileTheOldPictureStays)
{
    ASSERT_TRUE(doc.Load(pngPath));
    Modify();
    const QString bmpPath = WriteWithQt(photo, Path("second.bmp"), "bmp");
    EXPECT_EQ(prompts.lengthyWork, QStringList{QStringLiteral("正在读取文件...")});
    prompts.lengthyWork.clear();
    // During the decoding of another file the document still holds the picture it had.
    prompts.beforeLengthy = [&] {
        EXPECT_TRUE(doc.IsLoaded());
        EXPECT_EQ(doc.GetPath(), pngPath);
        EXPECT_EQ(doc.UndoDepth(), 2u);
    };
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(prompts.lengthyWork, (QStringList{QStringLiteral("正在保存文件..."), QStringLiteral("正在读取文件...")}));
    prompts.beforeLengthy = [&] { EXPECT_EQ(doc.GetPath(), pngPath); };
    ASSERT_TRUE(doc.Load(bmpPath));
    EXPECT_EQ(doc.GetPath(), bmpPath);
    EXPECT_EQ(prompts.lengthyWork.size(), 3);
}

// Closing a picture, or opening the next, gives its steps' memory back but for a small reserve;
// a document that ends with its picture keeps it for the next (as the batch does).
TEST_F(CImageDocFiles, ClosingGivesThePicturesMemoryBack)
{
    const QString path = WriteWithQt(MakePhotoLike(1600, 1200), Path("large.png"), "png"); // 8 MB a step
    CImageDoc doc;
    ASSERT_TRUE(doc.Load(path));
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(doc.ApplyInvert());
    const std::size_t steps = CTilePool::Shared().LiveBytes();
    doc.Clear();
    EXPECT_LE(CTilePool::Shared().FreeBytes(), CTilePool::ReserveBytes);
    ASSERT_TRUE(doc.Load(path));
    for (int i = 0; i < 4; ++i)
        ASSERT_TRUE(doc.ApplyInvert());
    EXPECT_TRUE(doc.Load(path));
    EXPECT_LE(CTilePool::Shared().FreeBytes(), CTilePool::ReserveBytes);
    EXPECT_LT(CTilePool::Shared().LiveBytes(), steps);
}
