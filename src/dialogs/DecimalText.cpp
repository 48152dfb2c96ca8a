#include "dialogs/DecimalText.h"

#include <algorithm>
#include <climits>
#include <cstdint>

namespace DecimalText {

namespace {

struct Scan
{
    int value = 0;
    bool digits = false;
    qsizetype end = 0; // index after the last character read
};

// Reads an optional sign and the digits after it, starting at `i`.
Scan ReadNumber(const QString& text, qsizetype i)
{
    Scan scan;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    std::int64_t magnitude = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        scan.digits = true;
        magnitude = std::min<std::int64_t>(magnitude * 10 + (text[i].unicode() - u'0'), std::int64_t(INT_MAX) + 1);
    }
    const std::int64_t signedValue = negative ? -magnitude : std::min<std::int64_t>(magnitude, INT_MAX);
    scan.value = static_cast<int>(std::max<std::int64_t>(signedValue, INT_MIN));
    scan.end = i;
    return scan;
}

bool IsBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

} // namespace

int Lenient(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    return ReadNumber(text, i).value;
}

std::optional<int> Strict(const QString& text)
{
    qsizetype i = 0;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    const Scan scan = ReadNumber(text, i);
    i = scan.end;
    while (i < text.size() && IsBlank(text[i]))
        ++i;
    if (!scan.digits || i != text.size())
        return std::nullopt;
    return scan.value;
}

} // namespace DecimalText
