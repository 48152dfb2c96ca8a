#include "effects/ToneRules.h"

#include <algorithm>
#include <array>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

// Each rule has a per-pixel version, which also finishes the last few pixels of a span, and on
// x86-64 a vector version. The rules built on the gray value need AVX2 to keep up with memory, so
// they pick a kernel at run time; the byte-wise rules need only SSE2, which every x86-64 processor
// has.
namespace {

constexpr std::uint32_t AlphaMask = 0xFF000000u;
constexpr std::uint32_t ColorMask = 0x00FFFFFFu;

int PixelLuma(std::uint32_t p)
{
    return ToneRules::Luma(int(p & 0xFF), int(p >> 8 & 0xFF), int(p >> 16 & 0xFF));
}

std::uint32_t GrayPixel(std::uint32_t p, int v)
{
    return (p & AlphaMask) | std::uint32_t(ToneRules::ClampByte(v)) * 0x010101u;
}

// Amounts past ±255 act like ±255; limiting them keeps the sums far from int overflow.
int LimitAmount(int amount)
{
    return std::clamp(amount, -255, 255);
}

void GrayScalar(const std::uint32_t* src, std::uint32_t* dst, int count, int level)
{
    for (int i = 0; i < count; ++i)
        dst[i] = GrayPixel(src[i], PixelLuma(src[i]) + level);
}

void ThresholdScalar(const std::uint32_t* src, std::uint32_t* dst, int count, int threshold, bool reverse)
{
    for (int i = 0; i < count; ++i) {
        const bool high = PixelLuma(src[i]) >= threshold;
        dst[i] = (src[i] & AlphaMask) | (high != reverse ? ColorMask : 0u);
    }
}

bool InRange(std::uint32_t p, std::uint32_t low, std::uint32_t high)
{
    for (int shift = 0; shift < 32; shift += 8) {
        const std::uint32_t v = p >> shift & 0xFF;
        if (v < (low >> shift & 0xFF) || v > (high >> shift & 0xFF))
            return false;
    }
    return true;
}

void GrayFailingScalar(const std::uint32_t* src, std::uint32_t* dst, int count, std::uint32_t low, std::uint32_t high,
                       int level)
{
    for (int i = 0; i < count; ++i)
        dst[i] = InRange(src[i], low, high) ? src[i] : GrayPixel(src[i], PixelLuma(src[i]) + level);
}

void FillFailingScalar(const std::uint32_t* src, std::uint32_t* dst, int count, std::uint32_t low, std::uint32_t high,
                       std::uint32_t fill)
{
    for (int i = 0; i < count; ++i)
        dst[i] = InRange(src[i], low, high) ? src[i] : (src[i] & AlphaMask) | (fill & ColorMask);
}

std::uint32_t AddChannel(std::uint32_t p, int shift, int amount)
{
    return std::uint32_t(ToneRules::ClampByte(int(p >> shift & 0xFF) + amount)) << shift;
}

void AddRgbScalar(const std::uint32_t* src, std::uint32_t* dst, int count, int red, int green, int blue)
{
    for (int i = 0; i < count; ++i) {
        const std::uint32_t p = src[i];
        dst[i] = (p & AlphaMask) | AddChannel(p, 16, red) | AddChannel(p, 8, green) | AddChannel(p, 0, blue);
    }
}

#if defined(__x86_64__)

bool HasAvx2()
{
    static const bool has = [] {
        __builtin_cpu_init();
        return __builtin_cpu_supports("avx2") != 0;
    }();
    return has;
}

constexpr double TwoTo52 = 4503599627370496.0;

// Small integers in 32-bit lanes become doubles by pairing each with the high word of 2^52 and
// taking 2^52 away, which is cheaper than the conversion instructions. Low takes lanes 0, 1, 4, 5;
// High takes 2, 3, 6, 7.
__attribute__((target("avx2"))) inline __m256d WidenLow(__m256i v)
{
    const __m256i bits = _mm256_unpacklo_epi32(v, _mm256_set1_epi32(0x43300000));
    return _mm256_sub_pd(_mm256_castsi256_pd(bits), _mm256_set1_pd(TwoTo52));
}

__attribute__((target("avx2"))) inline __m256d WidenHigh(__m256i v)
{
    const __m256i bits = _mm256_unpackhi_epi32(v, _mm256_set1_epi32(0x43300000));
    return _mm256_sub_pd(_mm256_castsi256_pd(bits), _mm256_set1_pd(TwoTo52));
}

// The formula of Luma, in the same order, truncated; the integer ends up in the low word of each
// 64-bit lane (adding 2^52 to a whole number below 2^52 is exact). Target "avx2" alone leaves FMA
// off, so every product and sum is rounded on its own whatever the contraction setting.
__attribute__((target("avx2"))) inline __m256i Luma4(__m256d blue, __m256d green, __m256d red)
{
    const __m256d sum =
        _mm256_add_pd(_mm256_mul_pd(_mm256_set1_pd(0.11), blue), _mm256_mul_pd(_mm256_set1_pd(0.59), green));
    const __m256d total = _mm256_add_pd(sum, _mm256_mul_pd(_mm256_set1_pd(0.30), red));
    const __m256d truncated = _mm256_round_pd(total, _MM_FROUND_TO_ZERO | _MM_FROUND_NO_EXC);
    return _mm256_castpd_si256(_mm256_add_pd(truncated, _mm256_set1_pd(TwoTo52)));
}

// The gray values of eight pixels by the formula itself, one per 32-bit lane.
__attribute__((target("avx2"))) inline __m256i FormulaLuma8(__m256i p)
{
    const __m256i byte = _mm256_set1_epi32(0xFF);
    const __m256i b = _mm256_and_si256(p, byte);
    const __m256i g = _mm256_and_si256(_mm256_srli_epi32(p, 8), byte);
    const __m256i r = _mm256_and_si256(_mm256_srli_epi32(p, 16), byte);
    const __m256i low = Luma4(WidenLow(b), WidenLow(g), WidenLow(r));
    const __m256i high = Luma4(WidenHigh(b), WidenHigh(g), WidenHigh(r));
    // The low words of each half, back in pixel order.
    return _mm256_castps_si256(_mm256_shuffle_ps(_mm256_castsi256_ps(low), _mm256_castsi256_ps(high), 0x88));
}

// Copies byte 0 of each lane into bytes 0-2 and clears byte 3.
__attribute__((target("avx2"))) inline __m256i SpreadLowByte(__m256i v)
{
    const __m256i spread = _mm256_setr_epi8(0, 0, 0, -1, 4, 4, 4, -1, 8, 8, 8, -1, 12, 12, 12, -1, //
                                            0, 0, 0, -1, 4, 4, 4, -1, 8, 8, 8, -1, 12, 12, 12, -1);
    return _mm256_shuffle_epi8(v, spread);
}

// Bit v is set where the formula gives the neutral gray v (weighted sum 100 v) the value v - 1.
const std::uint32_t* GrayBelowBits()
{
    alignas(32) static const std::array<std::uint32_t, 8> bits = [] {
        std::array<std::uint32_t, 8> b{};
        for (int v = 0; v < 256; ++v)
            b[std::size_t(v >> 5)] |= std::uint32_t(ToneRules::Luma(v, v, v) < v) << (v & 31);
        return b;
    }();
    return bits.data();
}

// For when some lanes' weighted sum is a multiple of 100, where the formula may give q - 1.
// Neutral grays, common in real pictures, are looked up; anything else goes by the formula.
__attribute__((target("avx2"), noinline)) __m256i DecideWholeLuma8(__m256i p, __m256i q, __m256i whole)
{
    const __m256i color = _mm256_and_si256(p, _mm256_set1_epi32(int(ColorMask)));
    const __m256i gray = _mm256_cmpeq_epi32(color, SpreadLowByte(p));
    if (!_mm256_testc_si256(gray, whole))
        return FormulaLuma8(p);
    const __m256i bits = _mm256_load_si256(reinterpret_cast<const __m256i*>(GrayBelowBits()));
    const __m256i word = _mm256_permutevar8x32_epi32(bits, _mm256_srli_epi32(q, 5));
    const __m256i below = _mm256_srlv_epi32(word, _mm256_and_si256(q, _mm256_set1_epi32(31)));
    return _mm256_sub_epi32(q, _mm256_and_si256(below, _mm256_and_si256(whole, _mm256_set1_epi32(1))));
}

// The gray values of eight pixels, one per 32-bit lane. The weighted sum s = 11 B + 59 G + 30 R
// decides the result as s / 100 unless s is a whole multiple of 100: elsewhere the true value is at
// least 0.01 from a whole number, far beyond the rounding error of the double formula.
__attribute__((target("avx2"))) inline __m256i Luma8(__m256i p)
{
    const __m256i weights = _mm256_set1_epi32(0x001E3B0B); // bytes 11, 59, 30, 0
    const __m256i sum = _mm256_madd_epi16(_mm256_maddubs_epi16(p, weights), _mm256_set1_epi32(0x00010001));
    // s * 5243 / 2^19 is s / 100 rounded down for every s up to 25500.
    const __m256i q = _mm256_srli_epi32(_mm256_mulhi_epu16(sum, _mm256_set1_epi32(5243)), 3);
    const __m256i whole = _mm256_cmpeq_epi32(_mm256_mullo_epi16(q, _mm256_set1_epi32(100)), sum);
    if (__builtin_expect(_mm256_testz_si256(whole, whole), 1))
        return q;
    return DecideWholeLuma8(p, q, whole);
}

__attribute__((target("avx2"))) inline __m256i Load8(const std::uint32_t* p)
{
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

__attribute__((target("avx2"))) inline void Store8(std::uint32_t* p, __m256i v)
{
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v);
}

// Eight gray pixels: the gray value plus `level`, clamped, in the colour bytes.
__attribute__((target("avx2"))) inline __m256i Gray8(__m256i p, __m256i level)
{
    const __m256i v = _mm256_add_epi32(Luma8(p), level);
    const __m256i clamped = _mm256_max_epi32(_mm256_min_epi32(v, _mm256_set1_epi32(255)), _mm256_setzero_si256());
    return _mm256_or_si256(_mm256_and_si256(p, _mm256_set1_epi32(int(AlphaMask))), SpreadLowByte(clamped));
}

// All-ones in the lanes of the pixels whose four bytes lie within their ranges.
__attribute__((target("avx2"))) inline __m256i InRange8(__m256i p, __m256i low, __m256i high)
{
    const __m256i inRange =
        _mm256_and_si256(_mm256_cmpeq_epi8(_mm256_max_epu8(p, low), p), _mm256_cmpeq_epi8(_mm256_min_epu8(p, high), p));
    return _mm256_cmpeq_epi32(inRange, _mm256_set1_epi32(-1));
}

__attribute__((target("avx2"))) void GrayAvx2(const std::uint32_t* src, std::uint32_t* dst, int count, int level)
{
    const __m256i add = _mm256_set1_epi32(level);
    int i = 0;
    for (; i + 8 <= count; i += 8)
        Store8(dst + i, Gray8(Load8(src + i), add));
    GrayScalar(src + i, dst + i, count - i, level);
}

__attribute__((target("avx2"))) void GrayFailingAvx2(const std::uint32_t* src, std::uint32_t* dst, int count,
                                                     std::uint32_t low, std::uint32_t high, int level)
{
    const __m256i lows = _mm256_set1_epi32(int(low)), highs = _mm256_set1_epi32(int(high));
    const __m256i add = _mm256_set1_epi32(level);
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i p = Load8(src + i);
        Store8(dst + i, _mm256_blendv_epi8(Gray8(p, add), p, InRange8(p, lows, highs)));
    }
    GrayFailingScalar(src + i, dst + i, count - i, low, high, level);
}

__attribute__((target("avx2"))) void FillFailingAvx2(const std::uint32_t* src, std::uint32_t* dst, int count,
                                                     std::uint32_t low, std::uint32_t high, std::uint32_t fill)
{
    const __m256i lows = _mm256_set1_epi32(int(low)), highs = _mm256_set1_epi32(int(high));
    const __m256i fills = _mm256_set1_epi32(int(fill & ColorMask));
    // A failing pixel still keeps its fourth byte.
    const __m256i alpha = _mm256_set1_epi32(int(AlphaMask));
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i p = Load8(src + i);
        const __m256i keep = _mm256_or_si256(InRange8(p, lows, highs), alpha);
        Store8(dst + i, _mm256_blendv_epi8(fills, p, keep));
    }
    FillFailingScalar(src + i, dst + i, count - i, low, high, fill);
}

__attribute__((target("avx2"))) void ThresholdAvx2(const std::uint32_t* src, std::uint32_t* dst, int count,
                                                   int threshold, bool reverse)
{
    const __m256i alpha = _mm256_set1_epi32(int(AlphaMask));
    const __m256i white = _mm256_set1_epi32(int(ColorMask));
    const __m256i limit = _mm256_set1_epi32(threshold);
    const __m256i flip = reverse ? white : _mm256_setzero_si256();
    int i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256i p = Load8(src + i);
        const __m256i below = _mm256_and_si256(_mm256_cmpgt_epi32(limit, Luma8(p)), white);
        const __m256i color = _mm256_xor_si256(_mm256_xor_si256(below, white), flip);
        Store8(dst + i, _mm256_or_si256(_mm256_and_si256(p, alpha), color));
    }
    ThresholdScalar(src + i, dst + i, count - i, threshold, reverse);
}

// Four pixels as one 16-byte value, loaded and stored without any alignment requirement.
inline __m128i Load4(const std::uint32_t* p)
{
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

inline void Store4(std::uint32_t* p, __m128i v)
{
    _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v);
}

// One lane of amounts in the byte layout of a pixel; byte 3 stays 0 so the fourth byte never moves.
std::uint32_t AmountBytes(int red, int green, int blue)
{
    const auto part = [](int amount, int shift) { return std::uint32_t(std::max(amount, 0)) << shift; };
    return part(red, 16) | part(green, 8) | part(blue, 0);
}

// Saturating byte arithmetic is the clamp: every channel gains its positive part, then loses its
// negative part, one of which is zero.
void AddRgbSse2(const std::uint32_t* src, std::uint32_t* dst, int count, int red, int green, int blue)
{
    const __m128i raise = _mm_set1_epi32(int(AmountBytes(red, green, blue)));
    const __m128i lower = _mm_set1_epi32(int(AmountBytes(-red, -green, -blue)));
    int i = 0;
    for (; i + 4 <= count; i += 4)
        Store4(dst + i, _mm_subs_epu8(_mm_adds_epu8(Load4(src + i), raise), lower));
    AddRgbScalar(src + i, dst + i, count - i, red, green, blue);
}

void InvertSse2(const std::uint32_t* src, std::uint32_t* dst, int count)
{
    const __m128i flip = _mm_set1_epi32(int(ColorMask));
    int i = 0;
    for (; i + 4 <= count; i += 4)
        Store4(dst + i, _mm_xor_si128(Load4(src + i), flip));
    for (; i < count; ++i)
        dst[i] = src[i] ^ ColorMask;
}

#endif

} // namespace

int ToneRules::Luma(int blue, int green, int red)
{
    const double sum = 0.11 * blue + 0.59 * green;
    return int(sum + 0.30 * red);
}

void ToneRules::Gray(const std::uint32_t* src, std::uint32_t* dst, int count, int level)
{
    level = LimitAmount(level);
#if defined(__x86_64__)
    if (HasAvx2())
        return GrayAvx2(src, dst, count, level);
#endif
    GrayScalar(src, dst, count, level);
}

void ToneRules::Invert(const std::uint32_t* src, std::uint32_t* dst, int count)
{
#if defined(__x86_64__)
    InvertSse2(src, dst, count);
#else
    for (int i = 0; i < count; ++i)
        dst[i] = src[i] ^ ColorMask;
#endif
}

void ToneRules::AddRgb(const std::uint32_t* src, std::uint32_t* dst, int count, int red, int green, int blue)
{
    red = LimitAmount(red);
    green = LimitAmount(green);
    blue = LimitAmount(blue);
#if defined(__x86_64__)
    AddRgbSse2(src, dst, count, red, green, blue);
#else
    AddRgbScalar(src, dst, count, red, green, blue);
#endif
}

void ToneRules::Threshold(const std::uint32_t* src, std::uint32_t* dst, int count, int threshold, bool reverse)
{
#if defined(__x86_64__)
    if (HasAvx2())
        return ThresholdAvx2(src, dst, count, threshold, reverse);
#endif
    ThresholdScalar(src, dst, count, threshold, reverse);
}

void ToneRules::GrayFailing(const std::uint32_t* src, std::uint32_t* dst, int count, std::uint32_t low,
                            std::uint32_t high, int level)
{
    level = LimitAmount(level);
#if defined(__x86_64__)
    if (HasAvx2())
        return GrayFailingAvx2(src, dst, count, low, high, level);
#endif
    GrayFailingScalar(src, dst, count, low, high, level);
}

void ToneRules::FillFailing(const std::uint32_t* src, std::uint32_t* dst, int count, std::uint32_t low,
                            std::uint32_t high, std::uint32_t fill)
{
#if defined(__x86_64__)
    if (HasAvx2())
        return FillFailingAvx2(src, dst, count, low, high, fill);
#endif
    FillFailingScalar(src, dst, count, low, high, fill);
}
