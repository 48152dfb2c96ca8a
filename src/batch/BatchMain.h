#pragma once

#include <QStringList>
#include <QTextStream>

// The whole of quorvel-batch: reads `arguments` (the program first), answers help and version on
// `out`, and reports refusals, progress and the summary on `err`. Returns the exit status:
// 0 all written, 1 some file failed, 2 the command line was refused and no file was read.
int RunBatch(const QStringList& arguments, QTextStream& out, QTextStream& err);
