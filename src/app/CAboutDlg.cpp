#include "app/CAboutDlg.h"

#include "widgets/Pictures.h"

#include <QLabel>

namespace {
constexpr QSize PictureSize(444, 202);
} // namespace

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint)
{
    setWindowTitle(QStringLiteral("关于Quorvel"));
    setFixedSize(PictureSize); // the picture is the whole window, without margins
    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture149"));
    picture->setPixmap(QPixmap::fromImage(Pictures::Render(QStringLiteral("about-picture"), PictureSize)));
    picture->setGeometry(QRect(QPoint(0, 0), PictureSize));
}
