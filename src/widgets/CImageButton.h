#pragma once

#include <QString>
#include <QToolButton>

// A toolbar button showing one of the editor's pictures (magenta transparent), with a hover
// highlight and an optional tooltip. Tool buttons also show a pushed look while their tool is in use.
class CImageButton : public QToolButton
{
    Q_OBJECT

public:
    // `picture` names a file of resources/pictures without ".svg"; `pictureSize` in pixels.
    CImageButton(const QString& picture, QSize pictureSize, const QString& toolTip, QWidget* parent = nullptr);

    // The pushed look is the owner's to set: clicks do not change it.
    void SetPushed(bool pushed);
    bool IsPushed() const;

protected:
    void nextCheckState() override;
};
