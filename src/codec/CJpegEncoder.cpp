#include "codec/CJpegEncoder.h"

#include <QtMath>

#include <csetjmp>
#include <cstdio> // jpeglib.h needs FILE
#include <cstdlib>
#include <new>
#include <vector>

#include <jpeglib.h>

namespace {

// One compression; a fatal error jumps back to the landing point of the call that failed.
struct Session
{
    jpeg_compress_struct info = {};
    jpeg_error_mgr errors = {};
    std::jmp_buf landing = {};
    unsigned char* buffer = nullptr;
    unsigned long bytes = 0;

    Session()
    {
        info.err = jpeg_std_error(&errors);
        errors.error_exit = [](j_common_ptr common) {
            std::longjmp(static_cast<Session*>(common->client_data)->landing, 1);
        };
        errors.output_message = [](j_common_ptr) {};
        info.client_data = this;
        jpeg_create_compress(&info);
    }
    ~Session()
    {
        jpeg_destroy_compress(&info);
        std::free(buffer); // jpeg_mem_dest's, allocated with malloc
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;
};

// The resolution as JFIF records it, in whichever of dots per inch or per centimetre (density
// unit 1 or 2) it is the closer to whole, as Qt's writer chooses.
void SetDensity(jpeg_compress_struct& info, QSize dotsPerMeter)
{
    const double inchX = dotsPerMeter.width() * 0.0254, inchY = dotsPerMeter.height() * 0.0254;
    const double cmX = dotsPerMeter.width() / 100.0, cmY = dotsPerMeter.height() / 100.0;
    const bool inches = qAbs(inchX - qRound(inchX)) < qAbs(cmX - qRound(cmX));
    info.density_unit = inches ? 1 : 2;
    info.X_density = UINT16(qRound(inches ? inchX : cmX));
    info.Y_density = UINT16(qRound(inches ? inchY : cmY));
}

bool Start(Session& s, QSize size, bool grey, int quality, QSize dotsPerMeter)
{
    if (setjmp(s.landing))
        return false;
    jpeg_mem_dest(&s.info, &s.buffer, &s.bytes);
    s.info.image_width = JDIMENSION(size.width());
    s.info.image_height = JDIMENSION(size.height());
    s.info.input_components = grey ? 1 : 4;
    s.info.in_color_space = grey ? JCS_GRAYSCALE : JCS_EXT_BGRX; // QImage::Format_RGB32 in memory
    jpeg_set_defaults(&s.info);
    SetDensity(s.info, dotsPerMeter);
    jpeg_set_quality(&s.info, quality, TRUE);
    jpeg_start_compress(&s.info, TRUE);
    return true;
}

bool WriteRow(Session& s, JSAMPROW row)
{
    if (setjmp(s.landing))
        return false;
    jpeg_write_scanlines(&s.info, &row, 1);
    return true;
}

bool Finish(Session& s)
{
    if (setjmp(s.landing))
        return false;
    jpeg_finish_compress(&s.info);
    return true;
}

} // namespace

bool CJpegEncoder::Encode(QSize size, bool grey, const RowReader& rows, int quality, QByteArray& out,
                          QSize dotsPerMeter)
{
    out.clear();
    if (size.isEmpty())
        return false;
    try {
        Session s;
        std::vector<std::uint32_t> pixels(std::size_t(size.width()));
        std::vector<unsigned char> plane(grey ? std::size_t(size.width()) : 0);
        if (!Start(s, size, grey, quality, dotsPerMeter))
            return false;
        for (int y = 0; y < size.height(); ++y) {
            rows(y, pixels.data());
            if (grey)
                std::transform(pixels.begin(), pixels.end(), plane.begin(),
                               [](std::uint32_t p) { return (unsigned char)p; });
            if (!WriteRow(s, grey ? plane.data() : reinterpret_cast<JSAMPROW>(pixels.data())))
                return false;
        }
        if (!Finish(s))
            return false;
        out = QByteArray(reinterpret_cast<const char*>(s.buffer), qsizetype(s.bytes));
        return true;
    } catch (const std::bad_alloc&) {
        out.clear();
        return false;
    }
}
