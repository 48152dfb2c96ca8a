#include "app/CFilePrompts.h"
#include "app/CSaveFileDialog.h"
#include "app/FileFilterText.h"
#include "document/CImageDoc.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <future>
#include <stdexcept>
#include <thread>

using FileFilter = CDocumentPrompts::FileFilter;

namespace {

struct FilterCase
{
    const char* label;
    const char* pattern;
    const char* qtText;
};

void PrintTo(const FilterCase& filter, std::ostream* out)
{
    *out << filter.label << " / " << filter.pattern;
}

class FilterTextTest : public ::testing::TestWithParam<FilterCase>
{
};

} // namespace

TEST_P(FilterTextTest, NamesThePatternsOnceInQtsForm)
{
    const FilterCase& c = GetParam();
    EXPECT_EQ(FileFilterText::ToQt(FileFilter{QString::fromUtf8(c.label), QString::fromUtf8(c.pattern)}),
              QString::fromUtf8(c.qtText));
}

INSTANTIATE_TEST_SUITE_P(Labels, FilterTextTest,
                         ::testing::Values(FilterCase{"所有图片文件", "*.gif;*.bmp;*.jpg;*.jpeg;*.png",
                                                      "所有图片文件 (*.gif *.bmp *.jpg *.jpeg *.png)"},
                                           FilterCase{"BMP文件(*.bmp)", "*.bmp", "BMP文件(*.bmp)"},
                                           FilterCase{"两种(*.a;*.b)", "*.a;*.b", "两种(*.a *.b)"},
                                           FilterCase{"图片(新)", "*.png", "图片(新) (*.png)"},
                                           FilterCase{"PNG文件(*.gif)", "*.png", "PNG文件(*.gif) (*.png)"}));

// Qt itself must read the converted texts as the document's patterns.
TEST(FileDialogFilters, QtFiltersByTheDocumentsPatterns)
{
    const auto filters = CImageDoc::OpenFilters();
    const std::unique_ptr<QFileDialog> dialog = CFilePrompts::MakeOpenDialog(nullptr, filters);
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_NE(model, nullptr);
    const QStringList texts = dialog->nameFilters();
    ASSERT_EQ(texts.size(), filters.size());
    EXPECT_EQ(dialog->selectedNameFilter(), texts.first());
    for (qsizetype i = 0; i < filters.size(); ++i) {
        dialog->selectNameFilter(texts.at(i));
        EXPECT_EQ(model->nameFilters(), filters.at(i).pattern.split(QLatin1Char(';'))) << texts.at(i).toStdString();
    }
}

// Both dialogs start in the folder of the picture opened or saved last; a folder since removed
// gives way to the user's pictures.
TEST(FileDialogFolders, BothDialogsStartWhereAPictureWasLastOpenedOrSaved)
{
    QTemporaryDir folder;
    CFilePrompts::RememberFolderOf(folder.filePath(QStringLiteral("a.png")));
    CFilePrompts prompts(nullptr);
    QStringList started;
    QTimer closer; // looks until the dialog runs, notes its folder and closes it
    closer.setInterval(10);
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            started.append(dialog->directory().absolutePath());
            dialog->reject();
        }
    });
    closer.start();
    EXPECT_FALSE(prompts.ChooseOpenFile(CImageDoc::OpenFilters()));
    EXPECT_FALSE(prompts.ChooseSaveFile(CImageDoc::SaveFilters()));
    EXPECT_EQ(started, QStringList({folder.path(), folder.path()}));

    ASSERT_TRUE(folder.remove());
    const QString pictures = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    EXPECT_EQ(CFilePrompts::StartFolder(), QFileInfo(pictures).isDir() ? pictures : QDir::homePath());
}

TEST(FileDialogFilters, SavedNamesGetTheFiltersExtensionUnlessTheyHaveAKnownOne)
{
    const FileFilter bmp{QStringLiteral("BMP文件(*.bmp)"), QStringLiteral("*.bmp")};
    EXPECT_EQ(FileFilterText::WithKnownExtension(QStringLiteral("/t/photo"), bmp), QStringLiteral("/t/photo.bmp"));
    EXPECT_EQ(FileFilterText::WithKnownExtension(QStringLiteral("/t/photo."), bmp), QStringLiteral("/t/photo.bmp"));
    EXPECT_EQ(FileFilterText::WithKnownExtension(QStringLiteral("/t/holiday.v2"), bmp),
              QStringLiteral("/t/holiday.v2.bmp"));
    EXPECT_EQ(FileFilterText::WithKnownExtension(QStringLiteral("/t/photo.PNG"), bmp), QStringLiteral("/t/photo.PNG"));
    EXPECT_EQ(FileFilterText::WithKnownExtension(QStringLiteral("/t/photo.jpeg"), bmp),
              QStringLiteral("/t/photo.jpeg"));
}

TEST(FileDialogFilters, SaveDialogCompletesTheTypedNameWithTheChosenFilter)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const auto filters = CImageDoc::SaveFilters();
    CSaveFileDialog dialog(nullptr, filters);
    dialog.setDirectory(dir.path());
    EXPECT_EQ(dialog.selectedNameFilter(), FileFilterText::ToQt(filters.first()));
    const qsizetype png = std::find_if(filters.begin(), filters.end(),
                                       [](const FileFilter& f) { return f.pattern == QStringLiteral("*.png"); }) -
                          filters.begin();
    ASSERT_LT(png, filters.size());
    dialog.selectNameFilter(FileFilterText::ToQt(filters.at(png)));
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    auto* name = dialog.findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    ASSERT_NE(name, nullptr);
    name->setFocus();
    QTest::keyClicks(name, QStringLiteral("picture"));
    QTest::keyClick(name, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    ASSERT_EQ(dialog.selectedFiles().size(), 1);
    EXPECT_EQ(dialog.selectedFiles().first(), dir.filePath(QStringLiteral("picture.png")));
}

class LengthyWorkTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        button = new QPushButton(QStringLiteral("x"), &window);
        QObject::connect(button, &QPushButton::clicked, [this] { ++clicks; });
        auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), &window);
        QObject::connect(shortcut, &QShortcut::activated, [this] { ++shortcuts; });
        window.resize(200, 100);
        window.show();
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    void UseTheWindow()
    {
        QTest::mouseClick(button, Qt::LeftButton);
        QTest::keyClick(&window, Qt::Key_O, Qt::ControlModifier);
    }

    QWidget window;
    QPushButton* button = nullptr;
    int clicks = 0;
    int shortcuts = 0;
    CFilePrompts prompts{&window};
};

TEST_F(LengthyWorkTest, RunsOffTheInterfaceThreadAndDropsInputMeanwhile)
{
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    std::thread::id workThread;
    bool windowStillRunning = false;
    QTimer::singleShot(0, [&] {
        windowStillRunning = true;
        UseTheWindow();
        release.set_value();
    });
    prompts.RunLengthy(QStringLiteral("正在读取文件..."), [&] {
        workThread = std::this_thread::get_id();
        released.wait();
    });
    EXPECT_TRUE(windowStillRunning);
    EXPECT_NE(workThread, std::this_thread::get_id());
    EXPECT_EQ(clicks, 0);
    EXPECT_EQ(shortcuts, 0);

    // Input reaches the window again once the work is done.
    UseTheWindow();
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(shortcuts, 1);
}

TEST_F(LengthyWorkTest, AnExceptionEndsTheWorkAndGoesNoFurther)
{
    bool after = false;
    EXPECT_NO_THROW(
        prompts.RunLengthy(QStringLiteral("正在保存文件..."), [&] { throw std::runtime_error("codec failure"); }));
    prompts.RunLengthy(QStringLiteral("正在保存文件..."), [&] { after = true; });
    EXPECT_TRUE(after);
    UseTheWindow();
    EXPECT_EQ(clicks, 1);
}
