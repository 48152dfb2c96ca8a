#pragma once

#include "document/CDocumentPrompts.h"

#include <QString>
#include <QStringList>

// The document's file filters in the form Qt's file dialogs read: "label (pattern pattern)".
namespace FileFilterText {

// Qt filters by the space-separated patterns in the last parentheses of the text; the document
// separates patterns by ';' and its labels may already end with them in parentheses.
QString ToQt(const CDocumentPrompts::FileFilter& filter);
QStringList ToQt(const QList<CDocumentPrompts::FileFilter>& filters);

// The extension of the filter's first pattern, dot included (".bmp"); empty for "*" or none.
QString FirstExtension(const CDocumentPrompts::FileFilter& filter);

// `name` as it is saved: unchanged when its extension is one the document writes, otherwise with
// the filter's extension appended ("photo" → "photo.bmp", "holiday.v2" → "holiday.v2.bmp").
QString WithKnownExtension(const QString& name, const CDocumentPrompts::FileFilter& filter);

} // namespace FileFilterText
