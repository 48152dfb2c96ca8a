// What the user waits for on a 24-megapixel photo, from a pool that has given its memory back:
// opening, the first effect, closing and saving, each beside a baseline timed in the same run. Opening a JPEG is
// compared with libjpeg decoding the same file to nowhere (what djpeg does), opening a PNG with libpng decoding it into
// a buffer already in memory, and saving with the way saving was done before.
#include "CoreSupport.h"

#include "codec/CAtomicFileWriter.h"
#include "document/CImageDoc.h"
#include "tiles/CTilePool.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTemporaryDir>

#include <csetjmp>
#include <memory>

#include <jpeglib.h>
#include <png.h>

namespace {

constexpr int W = 6000, H = 4000;

struct Files
{
    QTemporaryDir dir;
    QString jpeg = dir.filePath(QStringLiteral("photo.jpg"));
    QString png = dir.filePath(QStringLiteral("photo.png"));

    Files()
    {
        const QImage photo = bench::Photo(W, H);
        QImageWriter jpegWriter(jpeg, "jpeg");
        jpegWriter.setQuality(90);
        jpegWriter.write(photo);
        QImageWriter(png, "png").write(photo);
    }
};

const Files& Made()
{
    static const Files files;
    return files;
}

QByteArray Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// libjpeg's decoding of the file to one reused row, as djpeg to /dev/null does.
double DecodeJpegToNowhere(const QByteArray& jpeg)
{
    const auto start = bench::Clock::now();
    jpeg_decompress_struct info = {};
    jpeg_error_mgr errors = {};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char*>(jpeg.data()), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGRX;
    jpeg_start_decompress(&info);
    std::vector<unsigned char> row(std::size_t(info.output_width) * 4);
    JSAMPROW rows[] = {row.data()};
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, rows, 1);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    benchmark::DoNotOptimize(row.data());
    return bench::Seconds(bench::Clock::now() - start);
}

// libpng's decoding of the file into `pixels`, already in memory.
double DecodePngInto(const QByteArray& png, std::vector<std::uint32_t>& pixels)
{
    const auto start = bench::Clock::now();
    png_image image = {};
    image.version = PNG_IMAGE_VERSION;
    png_image_begin_read_from_memory(&image, png.data(), std::size_t(png.size()));
    image.format = PNG_FORMAT_BGRA;
    png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr);
    png_image_free(&image);
    return bench::Seconds(bench::Clock::now() - start);
}

void BM_OpenCold(benchmark::State& state, bool jpeg)
{
    const QString& path = jpeg ? Made().jpeg : Made().png;
    const QByteArray bytes = Bytes(path);
    std::vector<std::uint32_t> warm(std::size_t(W) * H, 1);
    std::vector<double> ratios, peaks;
    for (auto _ : state) {
        const double baseline = jpeg ? DecodeJpegToNowhere(bytes) : DecodePngInto(bytes, warm);
        CTilePool::Shared().Trim();
        bench::ResetPeakResident();
        const double before = bench::StatusBytes("VmRSS");
        const auto start = bench::Clock::now();
        auto doc = std::make_unique<CImageDoc>();
        if (!doc->Load(path)) {
            state.SkipWithError("the photo did not open");
            return;
        }
        const double seconds = bench::Seconds(bench::Clock::now() - start);
        state.SetIterationTime(seconds);
        ratios.push_back(seconds / baseline);
        peaks.push_back((bench::StatusBytes("VmHWM") - before) / (4.0 * W * H));
    }
    state.counters[jpeg ? "open_to_libjpeg_median" : "open_to_libpng_median"] = bench::Median(ratios);
    state.counters["peak_to_pixel_bytes"] = bench::Median(peaks);
}

void BM_SaveCold(benchmark::State& state, const char* suffix)
{
    CImageDoc doc;
    if (!doc.Load(Made().png)) {
        state.SkipWithError("the photo did not open");
        return;
    }
    const QString target = Made().dir.filePath(QStringLiteral("saved.") + QLatin1String(suffix));
    const QString before = Made().dir.filePath(QStringLiteral("before.") + QLatin1String(suffix));
    const QByteArray qtFormat = QByteArray(suffix) == "jpg" ? "jpeg" : QByteArray(suffix);
    std::vector<double> ratios;
    for (auto _ : state) {
        // Saving as it was done before: the picture copied out of the tiles, Qt's writer for the
        // format into memory, the file written in one step.
        const auto baselineStart = bench::Clock::now();
        QByteArray encoded;
        {
            const QImage picture = doc.CurrentState().ReadAll();
            QBuffer buffer(&encoded);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, qtFormat);
            if (qtFormat == "jpeg")
                writer.setQuality(99);
            writer.write(qtFormat == "jpeg" ? picture.convertToFormat(QImage::Format_RGB888) : picture);
            CAtomicFileWriter::Write(before, encoded);
        }
        const double baseline = bench::Seconds(bench::Clock::now() - baselineStart);

        const auto start = bench::Clock::now();
        if (!doc.WriteImage(target)) {
            state.SkipWithError("the photo was not saved");
            return;
        }
        const double seconds = bench::Seconds(bench::Clock::now() - start);
        state.SetIterationTime(seconds);
        ratios.push_back(seconds / baseline);
        state.counters["size_to_qt"] = double(QFile(target).size()) / double(encoded.size());
    }
    state.counters["save_to_qt_median"] = bench::Median(ratios);
}

// The first whole-picture invert after opening, committed (a dialog's first preview is the same
// step): its state's tiles are memory the process has not touched yet. Against a memcpy of the
// picture into memory already in use.
void BM_FirstEffectAfterOpen(benchmark::State& state)
{
    bench::CopyBaseline picture(std::size_t(W) * H * 4);
    std::vector<double> ratios;
    for (auto _ : state) {
        CImageDoc doc;
        CTilePool::Shared().Trim();
        if (!doc.Load(Made().jpeg)) {
            state.SkipWithError("the photo did not open");
            return;
        }
        const double baseline = picture.Time();
        const auto start = bench::Clock::now();
        if (!doc.ApplyInvert()) {
            state.SkipWithError("the invert failed");
            return;
        }
        const double seconds = bench::Seconds(bench::Clock::now() - start);
        state.SetIterationTime(seconds);
        ratios.push_back(seconds / baseline);
    }
    state.counters["effect_to_memcpy_median"] = bench::Median(ratios);
}

// Resident memory after a picture with twenty whole-picture steps is closed, against before it was
// opened.
void BM_CloseGivesMemoryBack(benchmark::State& state)
{
    for (auto _ : state) {
        const double before = bench::StatusBytes("VmRSS");
        CImageDoc doc;
        if (!doc.Load(Made().jpeg)) {
            state.SkipWithError("the photo did not open");
            return;
        }
        for (int i = 0; i < 20; ++i)
            doc.ApplyBrightness(i % 2 ? 10 : -10);
        const double open = bench::StatusBytes("VmRSS");
        const auto start = bench::Clock::now();
        doc.Clear();
        state.SetIterationTime(bench::Seconds(bench::Clock::now() - start));
        state.counters["open_MB"] = (open - before) / 1e6;
        state.counters["after_close_MB"] = (bench::StatusBytes("VmRSS") - before) / 1e6;
    }
}

} // namespace

BENCHMARK(BM_FirstEffectAfterOpen)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK(BM_CloseGivesMemoryBack)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);
BENCHMARK_CAPTURE(BM_OpenCold, jpeg, true)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_OpenCold, png, false)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(5);
BENCHMARK_CAPTURE(BM_SaveCold, png, "png")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK_CAPTURE(BM_SaveCold, jpeg, "jpg")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK_CAPTURE(BM_SaveCold, bmp, "bmp")->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
