#pragma once

#include "batch/BatchMain.h"

#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTextStream>

// One run of the batch program in this process, as a shell would start it.
struct BatchRun
{
    int status = -1;
    QString out;
    QString err;

    explicit BatchRun(const QStringList& arguments)
    {
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        status = RunBatch(QStringList{QStringLiteral("quorvel-batch")} + arguments, outStream, errStream);
    }

    QStringList ErrLines() const { return err.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }
};

inline QByteArray FileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
