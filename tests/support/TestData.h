#pragma once

#include <QDir>
#include <QString>

// The shared conformance images beside the project; absent in a user's clone.
inline QString TestDataDir()
{
    return QStringLiteral(QUORVEL_TESTDATA_DIR);
}

inline bool HasTestData(const QString& sub)
{
    return QDir(TestDataDir() + QLatin1Char('/') + sub).exists();
}
