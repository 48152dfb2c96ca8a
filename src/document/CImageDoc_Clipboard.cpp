// Copying the selected part of the current state to the system clipboard.
#include "document/CImageDoc.h"

#include "selection/SelectionMasks.h"

#include <QClipboard>
#include <QGuiApplication>

QImage CImageDoc::SelectionCrop()
{
    if (!loaded)
        return {};
    if (selection.kind == SelectionKind::None)
        selection.bounds = {0, 0, std::int32_t(width), std::int32_t(height)};
    const QRect area = CEffectPipeline::ProcessingRect(selection, CurrentState().size());
    if (area.isEmpty())
        return {};
    QImage crop = CurrentState().ReadRegion(area);
    if (crop.isNull())
        return {};
    QImage insideBlack(area.size(), QImage::Format_RGB32);
    QImage insideWhite(area.size(), QImage::Format_RGB32);
    if (insideBlack.isNull() || insideWhite.isNull())
        return {};
    SelectionMasks::Draw(selection, area, insideBlack, insideWhite);
    QPainter painter(&crop);
    painter.setCompositionMode(QPainter::RasterOp_SourceAndDestination); // unselected pixels become black
    painter.drawImage(0, 0, insideWhite);
    return crop;
}

bool CImageDoc::CopyToClipboard()
{
    if (!loaded)
        return Fail(DocumentError::CopyWithoutPicture);
    const QImage crop = SelectionCrop();
    if (crop.isNull())
        return Fail(DocumentError::CopyEmptySelection);
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return Fail(DocumentError::NoClipboard); // no windowing session, e.g. a command-line tool
    QGuiApplication::clipboard()->setImage(crop);
    return true;
}
