// The file operations of CImageDoc: open, load, save, save as and close with the save question.
#include "document/CImageDoc.h"

#include "codec/CCodecImage.h"

#include <cerrno>
#include <cstring>

QList<CDocumentPrompts::FileFilter> CImageDoc::OpenFilters()
{
    QList<CDocumentPrompts::FileFilter> filters = SaveFilters();
    filters.prepend({QStringLiteral("所有图片文件"), QStringLiteral("*.gif;*.bmp;*.jpg;*.jpeg;*.png")});
    return filters;
}

QList<CDocumentPrompts::FileFilter> CImageDoc::SaveFilters()
{
    return {
        {QStringLiteral("BMP文件(*.bmp)"), QStringLiteral("*.bmp")},
        {QStringLiteral("JPG文件(*.jpg)"), QStringLiteral("*.jpg")},
        {QStringLiteral("JPEG文件(*.jpeg)"), QStringLiteral("*.jpeg")},
        {QStringLiteral("GIF文件(*.gif)"), QStringLiteral("*.gif")},
        {QStringLiteral("PNG文件(*.png)"), QStringLiteral("*.png")},
    };
}

FileType CImageDoc::TypeFromExtension(const QString& path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot).toLower();
    if (extension == QLatin1String(".bmp"))
        return FileType::Bmp;
    if (extension == QLatin1String(".gif"))
        return FileType::Gif;
    if (extension == QLatin1String(".jpg"))
        return FileType::Jpg;
    if (extension == QLatin1String(".jpeg"))
        return FileType::Jpeg;
    if (extension == QLatin1String(".png"))
        return FileType::Png;
    return FileType::None;
}

int CImageDoc::CodecFormat(FileType type)
{
    switch (type) {
    case FileType::Gif:
        return CCodecImage::Gif;
    case FileType::Jpg:
    case FileType::Jpeg:
        return CCodecImage::Jpeg;
    case FileType::Png:
        return CCodecImage::Png;
    default:
        return CCodecImage::Bmp;
    }
}

void CImageDoc::RunLengthy(const QString& what, const std::function<void()>& work)
{
    if (ownerWindow)
        ownerWindow->RunLengthy(what, work);
    else
        work();
}

bool CImageDoc::Load(const QString& filePath)
{
    // Decoded before the old picture goes, so the window shows it until the new one is ready.
    bool valid = false;
    std::unique_ptr<ImageState> first;
    QString cause;
    RunLengthy(QStringLiteral("正在读取文件..."), [&] {
        CCodecImage codec;
        codec.Load(filePath, CodecFormat(TypeFromExtension(filePath)));
        valid = codec.IsValid();
        cause = codec.FailureCause();
        if (valid)
            first = codec.DrawToState();
    });
    Clear();
    errorCause = valid ? QString::fromLocal8Bit(std::strerror(ENOMEM)) : cause; // a failure below is memory
    if (!valid)
        return Fail(DocumentError::CannotOpen);
    const QSize size = first ? first->size() : QSize();
    if (!Append(std::move(first)))
        return Fail(DocumentError::CannotOpen);
    errorCause.clear();
    width = std::uint32_t(size.width());
    height = std::uint32_t(size.height());
    path = filePath;
    typeCode = static_cast<std::uint32_t>(TypeFromExtension(filePath));
    loaded = true;
    modified = false;
    return true;
}

bool CImageDoc::Open()
{
    if (!CloseWithPrompt())
        return false;
    const std::optional<QString> chosen = ownerWindow ? ownerWindow->ChooseOpenFile(OpenFilters()) : std::nullopt;
    if (!chosen)
        return Fail(DocumentError::OpenCancelled);
    return LoadOpened(*chosen);
}

bool CImageDoc::Open(const QString& filePath)
{
    return CloseWithPrompt() && LoadOpened(filePath);
}

bool CImageDoc::LoadOpened(const QString& filePath)
{
    return Load(filePath) || Fail(DocumentError::OpenFailed);
}

bool CImageDoc::WriteImage(const QString& target, CAtomicFileWriter::Mode mode)
{
    if (!loaded)
        return Fail(DocumentError::NoFileOpen);
    bool written = false;
    QString cause;
    RunLengthy(QStringLiteral("正在保存文件..."), [&] { written = Encode(CurrentState(), target, mode, cause); });
    // Only a finished write makes the file match the picture; after a failure the changes are
    // still unsaved and the next close must still ask.
    errorCause = written ? QString() : cause;
    if (!written)
        return Fail(DocumentError::CannotSave);
    modified = false;
    return true;
}

bool CImageDoc::Encode(const ImageState& state, const QString& target, CAtomicFileWriter::Mode mode, QString& cause)
{
    CCodecImage codec;
    codec.CreateFromState(state);
    bool written = false;
    switch (TypeFromExtension(target)) {
    case FileType::Gif:
        codec.DecreaseBpp(8, true /*error diffusion*/);
        written = codec.Save(target, CCodecImage::Gif, mode);
        break;
    case FileType::Jpg:
    case FileType::Jpeg:
        if (!codec.IsGrayScale())
            codec.IncreaseBpp(24);
        codec.SetJpegQuality(99);
        written = codec.Save(target, CCodecImage::Jpeg, mode);
        break;
    case FileType::Bmp:
        written = codec.Save(target, CCodecImage::Bmp, mode);
        break;
    case FileType::Png:
        written = codec.Save(target, CCodecImage::Png, mode);
        break;
    case FileType::None:
        break;
    }
    cause = written ? QString() : codec.FailureCause();
    return written;
}

bool CImageDoc::Save()
{
    if (!loaded)
        return Fail(DocumentError::NoFileOpen);
    const QString target = path;
    if (!WriteImage(target))
        return Fail(DocumentError::CannotSave);
    if (!Load(target))
        return Fail(DocumentError::RereadAfterSaveFailed);
    return true;
}

bool CImageDoc::SaveAs()
{
    if (!loaded)
        return Fail(DocumentError::NoFileOpen);
    const std::optional<QString> chosen = ownerWindow ? ownerWindow->ChooseSaveFile(SaveFilters()) : std::nullopt;
    if (!chosen)
        return Fail(DocumentError::SaveAsCancelled);
    if (!WriteImage(*chosen))
        return Fail(DocumentError::CannotSaveAs);
    if (!Load(*chosen))
        return Fail(DocumentError::RereadAfterSaveAsFailed);
    path = *chosen;
    modified = false;
    return true;
}

bool CImageDoc::CloseWithPrompt()
{
    if (!loaded || !modified) {
        Clear();
        return true;
    }
    const CDocumentPrompts::Answer answer =
        ownerWindow ? ownerWindow->AskYesNoCancel(QStringLiteral("询问"), QStringLiteral("是否要保存当前文件: ") + path)
                    : CDocumentPrompts::Answer::Cancel;
    switch (answer) {
    case CDocumentPrompts::Answer::Cancel:
        return Fail(DocumentError::CloseCancelled);
    case CDocumentPrompts::Answer::No:
        Clear();
        return true;
    case CDocumentPrompts::Answer::Yes:
        break;
    }
    // A failed write keeps the picture open and modified rather than discarding the changes.
    if (!WriteImage(path))
        return Fail(DocumentError::SaveOnCloseFailed);
    Clear();
    return true;
}
