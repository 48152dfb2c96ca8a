// Whole-process batch gray: 50 photo-like 4000 × 3000 JPEG files (quality 90), made once before the
// benchmarks, turned gray into a fresh empty folder by
//   BM_Batch_Quorvel      one `quorvel-batch --gray 0 -d OUT FILES...`, which spreads over all cores
//   BM_Batch_Vips         `vips colourspace IN OUT b-w`, one process per file
//   BM_Batch_ImageMagick  `/usr/bin/convert IN -colorspace Gray OUT`, one process per file
// The peers run as many processes at a time as there are cores, as `xargs -P $(nproc)` would, each
// with its own default JPEG settings. A time runs from the first start to the last exit; the inputs
// are in the page cache for all three. Every run checks the exit statuses, that each input has an
// output of its size and that a sample of one output is gray, and stops with an error otherwise,
// quoting the last line the programs wrote to standard error (kept in a log, out of the table).
// Each benchmark reports files_per_second; the peers also report quorvel_ratio, Quorvel's time over
// theirs, and a table of all three closes the run.
//
// Run (Release build, nothing else running; needs Debian's libvips-tools and imagemagick):
// scripts/bench.sh, or by hand
//   cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=OFF
//   cmake --build build-release -j2 --target quorvel_batch_bench
//   build-release/bench/quorvel_batch_bench
//
// Targets: quorvel_ratio < 1 against ImageMagick (faster) and <= 1.5 against vips.
#include "BenchSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sched.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

constexpr int Files = 50;
constexpr int W = 4000;
constexpr int H = 3000;

const char* const QuorvelProgram = QUORVEL_BATCH_PROGRAM;
const char* const VipsProgram = "/usr/bin/vips";
// Not whatever `convert` comes first on PATH: that may be a stand-in.
const char* const ConvertProgram = "/usr/bin/convert";

using Command = std::vector<std::string>;

std::unique_ptr<QTemporaryDir> workDir;
std::vector<QString> inputs; // absolute paths
std::string inputError;      // why the inputs could not be made, if they could not

// Wall seconds summed over the runs of each benchmark, for the ratios and the closing table.
struct Timing
{
    double seconds = 0;
    int runs = 0;
};
std::map<std::string, Timing> timings;

std::size_t Cores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
        return std::size_t(CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

std::string Local(const QString& s)
{
    return s.toLocal8Bit().toStdString();
}

std::string Describe(const Command& command)
{
    std::string text;
    for (const auto& word : command)
        text += (text.empty() ? "" : " ") + word;
    return text.size() > 200 ? text.substr(0, 200) + " ..." : text;
}

std::string logPath; // where the programs' standard error goes: their progress would bury the table

// Starts `command` with its standard output going to `stdoutPath` and its standard error appended to
// the log. Returns 0 when it could not start.
pid_t Spawn(const Command& command, const char* stdoutPath = "/dev/null")
{
    std::vector<char*> argv;
    for (const auto& word : command)
        argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, stdoutPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!logPath.empty())
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    return error == 0 ? pid : 0;
}

// The last line a program wrote to the log, to go with a failure.
std::string LastLogLine()
{
    QFile log(QString::fromLocal8Bit(logPath));
    if (logPath.empty() || !log.open(QIODevice::ReadOnly))
        return {};
    const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
    return lines.isEmpty() || lines.last().isEmpty() ? std::string()
                                                     : " (" + lines.last().trimmed().toStdString() + ")";
}

std::string ExitProblem(const Command& command, int status)
{
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return {};
    const std::string how = WIFEXITED(status)     ? "exited with " + std::to_string(WEXITSTATUS(status))
                            : WIFSIGNALED(status) ? "died of signal " + std::to_string(WTERMSIG(status))
                                                  : "stopped";
    return how + ": " + Describe(command);
}

// Runs the commands with at most `width` in flight and waits for all that started. Returns the
// first failure, or an empty string when each exited with 0.
std::string RunPool(const std::vector<Command>& commands, std::size_t width)
{
    std::map<pid_t, std::size_t> running;
    std::size_t next = 0;
    std::string failure;
    for (;;) {
        // After a failure no new process starts: the run is lost, and the ones in flight finish.
        while (failure.empty() && running.size() < width && next < commands.size()) {
            const pid_t pid = Spawn(commands[next]);
            if (pid == 0)
                failure = "could not start: " + Describe(commands[next]);
            else
                running[pid] = next;
            ++next;
        }
        if (running.empty())
            return failure;
        int status = 0;
        const pid_t pid = waitpid(-1, &status, 0);
        if (pid < 0) {
            if (errno == EINTR)
                continue;
            return "waitpid: " + std::string(std::strerror(errno));
        }
        const auto it = running.find(pid);
        if (it == running.end())
            continue;
        if (failure.empty())
            failure = ExitProblem(commands[it->second], status);
        running.erase(it);
    }
}

std::string RunOne(const Command& command, const char* stdoutPath = "/dev/null")
{
    const pid_t pid = Spawn(command, stdoutPath);
    if (pid == 0)
        return "could not start: " + Describe(command);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return "waitpid: " + std::string(std::strerror(errno));
    }
    return ExitProblem(command, status);
}

// A distinct picture per file: the same generator over a wider canvas, seen through a window that
// moves a little with each file, so no two files share their noise or gradients.
std::string MakeInputs()
{
    workDir = std::make_unique<QTemporaryDir>();
    if (!workDir->isValid())
        return "no temporary folder: " + Local(workDir->errorString());
    const QString folder = workDir->filePath(QStringLiteral("in"));
    if (!QDir().mkpath(folder))
        return "could not make " + Local(folder);
    for (int i = 0; i < Files; ++i)
        inputs.push_back(folder + QStringLiteral("/photo-%1.jpg").arg(i, 2, 10, QLatin1Char('0')));

    std::atomic<int> nextFile{0};
    std::mutex errorLock;
    std::string error;
    auto work = [&] {
        for (int i = nextFile++; i < Files; i = nextFile++) {
            const QImage picture = bench::Photo(W + 7 * i, H).copy(7 * i, 0, W, H);
            QImageWriter writer(inputs[std::size_t(i)], "jpeg");
            writer.setQuality(90);
            if (!writer.write(picture)) {
                const std::lock_guard lock(errorLock);
                error = "could not write " + Local(inputs[std::size_t(i)]) + ": " + Local(writer.errorString());
                return;
            }
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < Cores(); ++t)
        threads.emplace_back(work);
    for (auto& thread : threads)
        thread.join();
    return error;
}

QString OutputPath(const QString& folder, const QString& input)
{
    return folder + QLatin1Char('/') + QFileInfo(input).fileName();
}

// Every input has a JPEG output of its size, and one of them is gray and not flat. Decoding one is
// enough to catch a program that copies or leaves the colour; the headers catch missing files.
std::string CheckOutputs(const QString& folder)
{
    const auto count = QDir(folder).entryList(QDir::Files).size();
    if (count != Files)
        return std::to_string(count) + " files in the output folder, not " + std::to_string(Files);
    for (const auto& input : inputs) {
        const QString path = OutputPath(folder, input);
        QImageReader reader(path);
        if (reader.format() != "jpeg" || reader.size() != QSize(W, H))
            return Local(path) + " is not a " + std::to_string(W) + " x " + std::to_string(H) + " JPEG";
    }
    const QImage sample = QImage(OutputPath(folder, inputs[Files / 2])).convertToFormat(QImage::Format_RGB32);
    if (sample.isNull())
        return "could not decode " + Local(OutputPath(folder, inputs[Files / 2]));
    int darkest = 255, lightest = 0;
    for (int y = 0; y < H; y += 37) {
        for (int x = 0; x < W; x += 41) {
            const QRgb p = sample.pixel(x, y);
            // JPEG's chroma rounding leaves a gray picture stored as colour a step or two off.
            if (std::abs(qRed(p) - qGreen(p)) > 4 || std::abs(qGreen(p) - qBlue(p)) > 4)
                return Local(OutputPath(folder, inputs[Files / 2])) + " is not gray";
            darkest = std::min(darkest, qGreen(p));
            lightest = std::max(lightest, qGreen(p));
        }
    }
    if (lightest - darkest < 64)
        return Local(OutputPath(folder, inputs[Files / 2])) + " has lost the picture";
    return {};
}

// Why a peer cannot be timed here, or an empty string.
std::string MissingPeer(const char* program, const char* package)
{
    if (access(program, X_OK) != 0)
        return std::string(program) + " is missing: apt-get install " + package;
    return {};
}

std::string MissingImageMagick()
{
    if (auto missing = MissingPeer(ConvertProgram, "imagemagick"); !missing.empty())
        return missing;
    // The same path may be GraphicsMagick's compatibility link, a different program.
    const QString versionFile = workDir->filePath(QStringLiteral("convert-version.txt"));
    const std::string file = Local(versionFile);
    RunOne({ConvertProgram, "-version"}, file.c_str());
    QFile version(versionFile);
    if (!version.open(QIODevice::ReadOnly) || !version.readAll().contains("ImageMagick"))
        return std::string(ConvertProgram) + " is not ImageMagick's: apt-get install imagemagick";
    return {};
}

// Times `run` over a fresh empty output folder per iteration and reports files_per_second, and
// quorvel_ratio once Quorvel's own time is known.
void TimeBatch(benchmark::State& state, const std::string& name, const std::string& missing,
               const std::function<std::string(const QString&)>& run)
{
    if (!inputError.empty()) {
        state.SkipWithError(inputError.c_str());
        return;
    }
    if (!missing.empty()) {
        state.SkipWithError(missing.c_str());
        return;
    }
    Timing timing;
    int folderNumber = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const QString folder =
            workDir->filePath(QStringLiteral("out-%1-%2").arg(QString::fromStdString(name)).arg(folderNumber++));
        QDir(folder).removeRecursively();
        if (!QDir().mkpath(folder)) {
            state.SkipWithError(("could not make " + Local(folder)).c_str());
            break;
        }
        logPath = Local(workDir->filePath(QStringLiteral("programs.log")));
        QFile::remove(QString::fromLocal8Bit(logPath));
        state.ResumeTiming();
        const auto start = bench::Clock::now();
        std::string failure = run(folder);
        if (!failure.empty())
            failure += LastLogLine();
        const double seconds = bench::Seconds(bench::Clock::now() - start);
        state.PauseTiming();
        if (failure.empty())
            failure = CheckOutputs(folder);
        QDir(folder).removeRecursively();
        if (!failure.empty()) {
            state.SkipWithError((name + ": " + failure).c_str());
            break;
        }
        timing.seconds += seconds;
        ++timing.runs;
        state.ResumeTiming();
    }
    if (timing.runs == 0)
        return;
    const double mean = timing.seconds / timing.runs;
    state.counters["files_per_second"] = Files / mean;
    auto& total = timings[name];
    total.seconds += timing.seconds;
    total.runs += timing.runs;
    if (name != "Quorvel" && timings.count("Quorvel"))
        state.counters["quorvel_ratio"] = timings["Quorvel"].seconds / timings["Quorvel"].runs / mean;
}

void BM_Batch_Quorvel(benchmark::State& state)
{
    const std::string missing =
        access(QuorvelProgram, X_OK) == 0 ? std::string() : std::string(QuorvelProgram) + " is not built";
    TimeBatch(state, "Quorvel", missing, [](const QString& folder) {
        Command command{QuorvelProgram, "--gray", "0", "-d", Local(folder)};
        for (const auto& input : inputs)
            command.push_back(Local(input));
        return RunOne(command);
    });
}

void BM_Batch_Vips(benchmark::State& state)
{
    TimeBatch(state, "Vips", MissingPeer(VipsProgram, "libvips-tools"), [](const QString& folder) {
        std::vector<Command> commands;
        for (const auto& input : inputs)
            commands.push_back({VipsProgram, "colourspace", Local(input), Local(OutputPath(folder, input)), "b-w"});
        return RunPool(commands, Cores());
    });
}

void BM_Batch_ImageMagick(benchmark::State& state)
{
    TimeBatch(state, "ImageMagick", MissingImageMagick(), [](const QString& folder) {
        std::vector<Command> commands;
        for (const auto& input : inputs)
            commands.push_back({ConvertProgram, Local(input), "-colorspace", "Gray", Local(OutputPath(folder, input))});
        return RunPool(commands, Cores());
    });
}

// Quorvel first, so that the peers can report their ratio to it.
BENCHMARK(BM_Batch_Quorvel)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Batch_Vips)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);
BENCHMARK(BM_Batch_ImageMagick)->Iterations(1)->UseRealTime()->Unit(benchmark::kSecond);

void PrintSummary()
{
    if (timings.empty())
        return;
    std::printf("\n%-12s %10s %16s %14s\n", "program", "seconds", "files_per_second", "quorvel_ratio");
    const bool haveQuorvel = timings.count("Quorvel") != 0;
    const double quorvel = haveQuorvel ? timings["Quorvel"].seconds / timings["Quorvel"].runs : 0;
    for (const char* name : {"Quorvel", "Vips", "ImageMagick"}) {
        const auto it = timings.find(name);
        if (it == timings.end())
            continue;
        const double mean = it->second.seconds / it->second.runs;
        std::printf("%-12s %10.2f %16.2f", name, mean, Files / mean);
        if (haveQuorvel)
            std::printf(" %14.3f", quorvel / mean);
        std::printf("\n");
    }
    std::printf("Targets: quorvel_ratio < 1 against ImageMagick, <= 1.5 against Vips.\n");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::fprintf(stderr, "Writing %d photo-like %d x %d JPEG files...\n", Files, W, H);
    const auto start = bench::Clock::now();
    inputError = MakeInputs();
    std::fprintf(stderr, "... in %.1f s\n", bench::Seconds(bench::Clock::now() - start));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintSummary();
    return 0;
}
