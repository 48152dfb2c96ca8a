#include "app/CSaveFileDialog.h"

#include "app/FileFilterText.h"

#include <QFileInfo>
#include <QLineEdit>

CSaveFileDialog::CSaveFileDialog(QWidget* parent, const QList<CDocumentPrompts::FileFilter>& types)
    : QFileDialog(parent), filters(types)
{
    // Qt's own dialog everywhere: a native one would bypass accept() and look different per desktop.
    setOption(QFileDialog::DontUseNativeDialog);
    setAcceptMode(QFileDialog::AcceptSave);
    setFileMode(QFileDialog::AnyFile);
    const QStringList texts = FileFilterText::ToQt(filters);
    setNameFilters(texts);
    if (!texts.isEmpty())
        selectNameFilter(texts.first());
}

CDocumentPrompts::FileFilter CSaveFileDialog::SelectedFilter() const
{
    const qsizetype index = FileFilterText::ToQt(filters).indexOf(selectedNameFilter());
    if (index >= 0)
        return filters.at(index);
    return filters.isEmpty() ? CDocumentPrompts::FileFilter{} : filters.first();
}

void CSaveFileDialog::accept()
{
    // The name field holds what the user typed (a bare name or a path); a directory is left for
    // the dialog to enter.
    auto* nameField = findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    const QStringList chosen = selectedFiles();
    if (nameField && chosen.size() == 1 && !QFileInfo(chosen.first()).isDir()) {
        const QString typed = nameField->text();
        const QString completed = FileFilterText::WithKnownExtension(typed, SelectedFilter());
        if (!typed.trimmed().isEmpty() && completed != typed)
            nameField->setText(completed);
    }
    QFileDialog::accept();
}
