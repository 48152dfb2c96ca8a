#pragma once

#include "document/CDocumentPrompts.h"

#include <QFileDialog>
#include <QList>

// The save dialog: a typed name whose extension is none the document writes gets the extension of
// the chosen filter before the dialog checks whether that file exists, so the overwrite question
// asks about the file that will really be written.
class CSaveFileDialog : public QFileDialog
{
    Q_OBJECT

public:
    CSaveFileDialog(QWidget* parent, const QList<CDocumentPrompts::FileFilter>& filters);

    // The document's filter behind the selected Qt filter; the first one when none matches.
    CDocumentPrompts::FileFilter SelectedFilter() const;

    void accept() override;

private:
    QList<CDocumentPrompts::FileFilter> filters;
};
