#pragma once

#include "batch/BatchPlan.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <mutex>

class CImageDoc;
class CMemoryGate;

// Carries out a batch plan: every input through the steps into its output, several files at once
// on all cores. A file that fails is reported and skipped; the others go on.
class CBatchRunner
{
public:
    // Receives each line of progress and the summary, one call at a time.
    using Report = std::function<void(const QString& line)>;

    CBatchRunner(const BatchPlan& plan, Report report);

    // 0 when every output was written, 1 otherwise.
    int Run();

    static QString ExistingOutputText();

private:
    void Work();
    // The memory a file's work takes at most.
    static std::uint64_t MemoryFor(const BatchPlan::Job& job);
    // Empty when the output was written, otherwise why not.
    QString Process(const BatchPlan::Job& job) const;
    QString Write(CImageDoc& doc, const QString& output) const;
    void Finished(const BatchPlan::Job& job, const QString& failure);

    const BatchPlan& plan;
    Report report;
    std::mutex mutex; // guards what follows and the calls of report
    qsizetype next = 0;
    qsizetype finished = 0;
    qsizetype failed = 0;
    CMemoryGate* gate = nullptr; // while Run runs
};
