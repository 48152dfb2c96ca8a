#pragma once

#include "document/CImageDoc.h"
#include "support/TestImages.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

// A document holding a photo-like picture loaded from a PNG file, for tests of what operations
// do to it. Photo-like pixels are never pure black, white or a pure primary colour.
class PhotoDocumentTest : public ::testing::Test
{
protected:
    void LoadPhoto(int width, int height, unsigned seed)
    {
        ASSERT_TRUE(dir.isValid());
        original = MakePhotoLike(width, height, seed);
        const QString path = dir.filePath(QStringLiteral("picture.png"));
        ASSERT_TRUE(original.save(path, "PNG"));
        ASSERT_TRUE(doc.Load(path)) << doc.GetErrorText().toStdString();
    }

    QImage Picture() const { return doc.CurrentState().ReadAll(); }

    QTemporaryDir dir;
    QImage original;
    CImageDoc doc;
};
