#include "batch/BatchMain.h"

#include <QCoreApplication>

#include <limits>

#ifdef __GLIBC__
#include <malloc.h>
#endif

int main(int argc, char** argv)
{
#ifdef __GLIBC__
    // Every file needs the same few picture-sized buffers. By default glibc maps each one afresh
    // and unmaps it when freed, so every file pays for faulting its pages in again, and with
    // several threads for the shootdowns of each unmap; that costs more than the decoding. Kept
    // in one heap that is never trimmed, the next file reuses the pages the last one touched.
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_MAX, 0);
    mallopt(M_TRIM_THRESHOLD, std::numeric_limits<int>::max());
#endif
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunBatch(QCoreApplication::arguments(), out, err);
}
