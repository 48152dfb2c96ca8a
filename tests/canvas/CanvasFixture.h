#pragma once

#include "canvas/CDrawView.h"
#include "support/TestImages.h"

#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// A shown canvas without a frame, and a photo-like picture to open in it.
class CanvasFixture : public ::testing::Test
{
protected:
    explicit CanvasFixture(QSize viewSize) : size(viewSize) {}

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        view.setFrameShape(QFrame::NoFrame);
        view.resize(size);
        view.show();
    }

    // Opens a photo-like picture and sets the scroll size as the main window does after opening.
    void Open(int width, int height)
    {
        picture = MakePhotoLike(width, height);
        const QString path = dir.filePath(QStringLiteral("picture.png"));
        ASSERT_TRUE(picture.save(path, "PNG"));
        ASSERT_TRUE(view.doc.Load(path));
        view.SetScrollSizes(picture.size());
        view.SetTool(SelectionKind::None);
    }

    QSize size;
    QTemporaryDir dir;
    CDrawView view;
    QImage picture;
};
