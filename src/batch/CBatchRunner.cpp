#include "batch/CBatchRunner.h"

#include "batch/CMemoryGate.h"
#include "codec/CAtomicFileWriter.h"
#include "document/CImageDoc.h"
#include "tiles/CSystemMemory.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QThread>

#include <algorithm>
#include <limits>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace {

// The document's text, and after it what caused it where that is known.
QString Described(const CImageDoc& doc)
{
    const QString cause = doc.GetErrorCause();
    return cause.isEmpty() ? doc.GetErrorText() : doc.GetErrorText() + QStringLiteral(": ") + cause;
}

} // namespace

CBatchRunner::CBatchRunner(const BatchPlan& batch, Report reporter) : plan(batch), report(std::move(reporter)) {}

QString CBatchRunner::ExistingOutputText()
{
    return QStringLiteral("输出文件已经存在,没有覆盖 (加 --overwrite 可覆盖)");
}

int CBatchRunner::Run()
{
    QElapsedTimer clock;
    clock.start();
    next = finished = failed = 0;
    if (!plan.outputDirectory.isEmpty() && !QDir().mkpath(plan.outputDirectory)) {
        report(QStringLiteral("无法创建输出目录 %1").arg(plan.outputDirectory));
        return 1;
    }
    const std::optional<std::uint64_t> available = CSystemMemory::Available();
    CMemoryGate memory(available && *available > CSystemMemory::Reserve ? *available - CSystemMemory::Reserve
                                                                        : std::numeric_limits<std::uint64_t>::max());
    gate = &memory;
    {
        std::vector<std::jthread> threads;
        const int workers = plan.workers > 0 ? plan.workers : std::max(1, QThread::idealThreadCount());
        const qsizetype count = std::min<qsizetype>(workers, plan.jobs.size());
        try {
            for (qsizetype i = 1; i < count; ++i)
                threads.emplace_back([this] { Work(); });
        } catch (const std::system_error&) {
            // No more threads to be had: the ones running, this one included, share the files.
        }
        Work();
    }
    report(QStringLiteral("共 %1 个文件: 成功 %2 个,失败 %3 个,用时 %4 秒")
               .arg(plan.jobs.size())
               .arg(plan.jobs.size() - failed)
               .arg(failed)
               .arg(double(clock.elapsed()) / 1000, 0, 'f', 1));
    return failed == 0 ? 0 : 1;
}

void CBatchRunner::Work()
{
    for (;;) {
        qsizetype index;
        {
            const std::lock_guard lock(mutex);
            if (next == plan.jobs.size())
                return;
            index = next++;
        }
        const BatchPlan::Job& job = plan.jobs[index];
        const std::uint64_t need = MemoryFor(job);
        gate->Enter(need);
        QString failure;
        try {
            failure = Process(job);
        } catch (const std::bad_alloc&) {
            failure = DocumentErrorText(DocumentError::OutOfMemory);
        }
        gate->Leave(need);
        Finished(job, failure);
    }
}

std::uint64_t CBatchRunner::MemoryFor(const BatchPlan::Job& job)
{
    // The picture's one state (the steps change it in place), the file read and the one written,
    // and the codecs' buffers: about six bytes a pixel, as the header claims the pixels.
    constexpr std::uint64_t BytesPerPixel = 6;
    const QSize size = QImageReader(job.input).size();
    return size.isValid() ? std::uint64_t(size.width()) * std::uint64_t(size.height()) * BytesPerPixel : 0;
}

QString CBatchRunner::Process(const BatchPlan::Job& job) const
{
    // Checked before the work as well as at the end, so a kept file costs no decoding.
    if (!plan.overwrite && QFileInfo::exists(job.output))
        return ExistingOutputText();
    CImageDoc doc;
    doc.KeepNoHistory();
    if (!doc.Load(job.input))
        return Described(doc);
    for (const BatchStep& step : plan.steps) {
        if (!step.apply(doc))
            return QStringLiteral("--%1: %2").arg(step.option, doc.GetErrorText());
        doc.ForgetHistory(); // nothing is undone here: one picture at a time, however long the chain
    }
    return Write(doc, job.output);
}

QString CBatchRunner::Write(CImageDoc& doc, const QString& output) const
{
    // Without --overwrite the output gets its name only if that is still free when it is complete.
    const auto mode = plan.overwrite ? CAtomicFileWriter::Mode::Replace : CAtomicFileWriter::Mode::Create;
    if (doc.WriteImage(output, mode))
        return {};
    if (mode == CAtomicFileWriter::Mode::Create && QFileInfo::exists(output))
        return ExistingOutputText();
    return Described(doc);
}

void CBatchRunner::Finished(const BatchPlan::Job& job, const QString& failure)
{
    const std::lock_guard lock(mutex);
    ++finished;
    failed += !failure.isEmpty();
    const QString counter = QStringLiteral("[%1/%2] ").arg(finished).arg(plan.jobs.size());
    report(counter + job.input +
           (failure.isEmpty() ? QStringLiteral(" → ") + job.output : QStringLiteral(": ") + failure));
}
