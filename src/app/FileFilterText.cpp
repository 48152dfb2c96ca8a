#include "app/FileFilterText.h"

#include "document/CImageDoc.h"

#include <QRegularExpression>

namespace FileFilterText {

namespace {

QStringList Patterns(const QString& text)
{
    static const QRegularExpression separators(QStringLiteral("[;\\s]+"));
    return text.split(separators, Qt::SkipEmptyParts);
}

} // namespace

QString ToQt(const CDocumentPrompts::FileFilter& filter)
{
    const QStringList patterns = Patterns(filter.pattern);
    const QString joined = patterns.join(QLatin1Char(' '));
    QString label = filter.label.trimmed();
    // "BMP文件(*.bmp)" already names its patterns: keep the label as it reads, in Qt's separators.
    const qsizetype open = label.lastIndexOf(QLatin1Char('('));
    if (open >= 0 && label.endsWith(QLatin1Char(')'))) {
        const QString inside = label.mid(open + 1, label.size() - open - 2);
        if (Patterns(inside) == patterns)
            return label.left(open) + QLatin1Char('(') + joined + QLatin1Char(')');
    }
    return label + QStringLiteral(" (") + joined + QLatin1Char(')');
}

QStringList ToQt(const QList<CDocumentPrompts::FileFilter>& filters)
{
    QStringList texts;
    for (const CDocumentPrompts::FileFilter& filter : filters)
        texts.append(ToQt(filter));
    return texts;
}

QString FirstExtension(const CDocumentPrompts::FileFilter& filter)
{
    const QStringList patterns = Patterns(filter.pattern);
    if (patterns.isEmpty())
        return {};
    const QString& first = patterns.first();
    const qsizetype dot = first.lastIndexOf(QLatin1Char('.'));
    if (dot < 0 || first.mid(dot).contains(QLatin1Char('*')) || first.mid(dot).contains(QLatin1Char('?')))
        return {};
    return first.mid(dot);
}

QString WithKnownExtension(const QString& name, const CDocumentPrompts::FileFilter& filter)
{
    if (name.isEmpty() || CImageDoc::TypeFromExtension(name) != FileType::None)
        return name;
    const QString extension = FirstExtension(filter);
    // "photo." already ends in the dot of the extension.
    return name.endsWith(QLatin1Char('.')) ? name + extension.mid(1) : name + extension;
}

} // namespace FileFilterText
