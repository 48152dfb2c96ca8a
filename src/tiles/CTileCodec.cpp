#include "tiles/CTileCodec.h"

#include <zstd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace {

// The fastest level: packing runs beside the user's work, and the planes already compress well.
constexpr int Level = 1;

struct ContextDeleter
{
    void operator()(ZSTD_CCtx* context) const { ZSTD_freeCCtx(context); }
    void operator()(ZSTD_DCtx* context) const { ZSTD_freeDCtx(context); }
};

ZSTD_CCtx* PackingContext()
{
    thread_local std::unique_ptr<ZSTD_CCtx, ContextDeleter> context(ZSTD_createCCtx());
    return context.get();
}

ZSTD_DCtx* UnpackingContext()
{
    thread_local std::unique_ptr<ZSTD_DCtx, ContextDeleter> context(ZSTD_createDCtx());
    return context.get();
}

// Byte by byte, modulo 256, four bytes at a time.
inline std::uint32_t BytesMinus(std::uint32_t a, std::uint32_t b)
{
    return ((a | 0x80808080u) - (b & 0x7F7F7F7Fu)) ^ ((a ^ ~b) & 0x80808080u);
}

// The pixels as packed: their difference to the base's, when there is one.
void Differences(const std::uint32_t* pixels, const std::uint32_t* base, int count, std::uint32_t* out)
{
    if (!base) {
        std::memcpy(out, pixels, std::size_t(count) * 4);
        return;
    }
    for (int i = 0; i < count; ++i)
        out[i] = pixels[i] ^ base[i];
}

// Planes of bytes, each the difference to its left neighbour, or to the one above at a row's start.
void Split(const std::uint32_t* values, int count, int width, std::uint8_t* planes)
{
    const std::size_t n = std::size_t(count);
    std::uint8_t* const out[] = {planes, planes + n, planes + 2 * n, planes + 3 * n};
    for (int start = 0; start < count; start += width) {
        const int end = std::min(count, start + width);
        std::uint32_t before = start >= width ? values[start - width] : 0;
        for (int i = start; i < end; ++i) {
            const std::uint32_t delta = BytesMinus(values[i], before);
            before = values[i];
            out[0][i] = std::uint8_t(delta);
            out[1][i] = std::uint8_t(delta >> 8);
            out[2][i] = std::uint8_t(delta >> 16);
            out[3][i] = std::uint8_t(delta >> 24);
        }
    }
}

// Undoes the differences of one plane in place: each row a running sum from the first byte of
// the row above. Sixteen bytes at a time: the sums within a block in four shifted additions,
// then the last sum so far added to all of them.
void Accumulate(std::uint8_t* plane, int count, int width)
{
    for (int start = 0; start < count; start += width) {
        const int end = std::min(count, start + width);
        std::uint8_t sum = start >= width ? plane[start - width] : 0;
        int i = start;
#if defined(__SSE2__)
        for (; i + 16 <= end; i += 16) {
            __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(plane + i));
            v = _mm_add_epi8(v, _mm_slli_si128(v, 1));
            v = _mm_add_epi8(v, _mm_slli_si128(v, 2));
            v = _mm_add_epi8(v, _mm_slli_si128(v, 4));
            v = _mm_add_epi8(v, _mm_slli_si128(v, 8));
            v = _mm_add_epi8(v, _mm_set1_epi8(char(sum)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(plane + i), v);
            sum = plane[i + 15];
        }
#endif
        for (; i < end; ++i)
            sum = plane[i] = std::uint8_t(plane[i] + sum);
    }
}

// Puts the four planes together again into pixels, and takes the base off.
void Interleave(const std::uint8_t* planes, const std::uint32_t* base, int count, std::uint32_t* pixels)
{
    const std::size_t n = std::size_t(count);
    const std::uint8_t* const in[] = {planes, planes + n, planes + 2 * n, planes + 3 * n};
    int i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= count; i += 16) {
        const auto load = [&](int plane) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(in[plane] + i)); };
        const __m128i b = load(0), g = load(1), r = load(2), a = load(3);
        const __m128i bgLow = _mm_unpacklo_epi8(b, g), bgHigh = _mm_unpackhi_epi8(b, g);
        const __m128i raLow = _mm_unpacklo_epi8(r, a), raHigh = _mm_unpackhi_epi8(r, a);
        __m128i out[] = {_mm_unpacklo_epi16(bgLow, raLow), _mm_unpackhi_epi16(bgLow, raLow),
                         _mm_unpacklo_epi16(bgHigh, raHigh), _mm_unpackhi_epi16(bgHigh, raHigh)};
        for (int k = 0; k < 4; ++k) {
            if (base)
                out[k] = _mm_xor_si128(out[k], _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i + 4 * k)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(pixels + i + 4 * k), out[k]);
        }
    }
#endif
    for (; i < count; ++i) {
        const std::uint32_t value = std::uint32_t(in[0][i]) | std::uint32_t(in[1][i]) << 8 |
                                    std::uint32_t(in[2][i]) << 16 | std::uint32_t(in[3][i]) << 24;
        pixels[i] = base ? value ^ base[i] : value;
    }
}

void Join(std::uint8_t* planes, const std::uint32_t* base, int count, int width, std::uint32_t* pixels)
{
    for (int plane = 0; plane < 4; ++plane)
        Accumulate(planes + std::size_t(plane) * std::size_t(count), count, width);
    Interleave(planes, base, count, pixels);
}

} // namespace

bool CTileCodec::Pack(const std::uint32_t* pixels, const std::uint32_t* base, int count, int width,
                      std::vector<std::uint8_t>& out)
{
    ZSTD_CCtx* context = PackingContext();
    if (!context || count <= 0 || width <= 0)
        return false;
    try {
        const std::size_t bytes = std::size_t(count) * 4;
        thread_local std::vector<std::uint32_t> values;
        thread_local std::vector<std::uint8_t> planes;
        values.resize(std::size_t(count));
        planes.resize(bytes);
        Differences(pixels, base, count, values.data());
        Split(values.data(), count, width, planes.data());
        out.resize(ZSTD_compressBound(bytes));
        const std::size_t packed = ZSTD_compressCCtx(context, out.data(), out.size(), planes.data(), bytes, Level);
        if (ZSTD_isError(packed))
            return false;
        out.resize(packed);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool CTileCodec::Unpack(const std::uint8_t* data, std::size_t size, const std::uint32_t* base, int count, int width,
                        std::uint32_t* pixels)
{
    ZSTD_DCtx* context = UnpackingContext();
    if (!context || count <= 0 || width <= 0)
        return false;
    try {
        const std::size_t bytes = std::size_t(count) * 4;
        thread_local std::vector<std::uint8_t> planes;
        planes.resize(bytes);
        const std::size_t unpacked = ZSTD_decompressDCtx(context, planes.data(), bytes, data, size);
        if (ZSTD_isError(unpacked) || unpacked != bytes)
            return false;
        Join(planes.data(), base, count, width, pixels);
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}
