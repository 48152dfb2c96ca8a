#include "batch/CStepParser.h"

#include "document/CImageDoc.h"
#include "effects/ColorRef.h"

#include <QRegularExpression>

#include <algorithm>
#include <cstdint>

namespace {

// The ranges of the editor's dialogs.
constexpr int levelLowest = -255; // gray, brightness, RGB, the colour filter's gray level
constexpr int levelHighest = 255;
constexpr int byteHighest = 255;  // threshold, translucency, the colour filter's channels
constexpr int spanHighest = 3000; // line width and spacing, dot spacings

using Rule = std::function<bool(CImageDoc&)>;

// Reads the fields of one option's value; the first refusal names the option and what it takes.
class Reader
{
public:
    Reader(const QString& optionName, QString& refusalText) : option(optionName), refusal(refusalText) {}

    std::optional<QStringList> Fields(const QString& value, QChar separator, qsizetype count, const QString& form)
    {
        QStringList fields = value.split(separator);
        if (fields.size() != count)
            return Refuse<QStringList>(QStringLiteral("应写成 ") + form, value);
        return fields;
    }

    std::optional<int> Number(const QString& text, const QString& what, int lowest, int highest)
    {
        static const QRegularExpression decimal(QStringLiteral("^[+-]?[0-9]+$"));
        bool ok = decimal.match(text).hasMatch();
        const qlonglong value = ok ? text.toLongLong(&ok) : 0; // too many digits: not ok
        if (!ok || value < lowest || value > highest)
            return Refuse<int>(QStringLiteral("的 %1 应为 %2 到 %3 之间的整数").arg(what).arg(lowest).arg(highest),
                               text);
        return int(value);
    }

    std::optional<std::uint32_t> Color(const QString& text)
    {
        static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
        if (!hex.match(text).hasMatch())
            return Refuse<std::uint32_t>(QStringLiteral("的颜色应写成 #RRGGBB (六位十六进制数,例如 #FF8000)"), text);
        const QRgb rgb = text.mid(1).toUInt(nullptr, 16);
        return ColorRef::Make(qRed(rgb), qGreen(rgb), qBlue(rgb));
    }

    template <typename T> std::optional<T> Refuse(const QString& expected, const QString& given)
    {
        if (refusal.isEmpty())
            refusal = QStringLiteral("选项 --%1 %2,而不是 \"%3\"").arg(option, expected, given);
        return std::nullopt;
    }

private:
    const QString& option;
    QString& refusal;
};

std::optional<Rule> Gray(Reader& read, const QString& value)
{
    const auto level = read.Number(value, QStringLiteral("LEVEL"), levelLowest, levelHighest);
    if (!level)
        return {};
    return [=](CImageDoc& doc) { return doc.ApplyGray(*level); };
}

std::optional<Rule> Invert(Reader&, const QString&)
{
    return [](CImageDoc& doc) { return doc.ApplyInvert(); };
}

std::optional<Rule> Brightness(Reader& read, const QString& value)
{
    const auto amount = read.Number(value, QStringLiteral("AMOUNT"), levelLowest, levelHighest);
    if (!amount)
        return {};
    return [=](CImageDoc& doc) { return doc.ApplyBrightness(*amount); };
}

std::optional<Rule> Rgb(Reader& read, const QString& value)
{
    const auto fields = read.Fields(value, QLatin1Char(','), 3, QStringLiteral("R,G,B"));
    if (!fields)
        return {};
    const auto red = read.Number(fields->at(0), QStringLiteral("R"), levelLowest, levelHighest);
    const auto green = read.Number(fields->at(1), QStringLiteral("G"), levelLowest, levelHighest);
    const auto blue = read.Number(fields->at(2), QStringLiteral("B"), levelLowest, levelHighest);
    if (!red || !green || !blue)
        return {};
    return [=](CImageDoc& doc) { return doc.ApplyRgb(*red, *green, *blue); };
}

std::optional<Rule> Threshold(Reader& read, const QString& value)
{
    const QStringList fields = value.split(QLatin1Char(','));
    if (fields.size() > 2 || (fields.size() == 2 && fields[1] != QLatin1String("reverse")))
        return read.Refuse<Rule>(QStringLiteral("应写成 T 或 T,reverse"), value);
    const auto threshold = read.Number(fields[0], QStringLiteral("T"), 0, byteHighest);
    if (!threshold)
        return {};
    const bool reverse = fields.size() == 2;
    return [=](CImageDoc& doc) { return doc.ApplyThreshold(*threshold, reverse); };
}

std::optional<Rule> Lines(Reader& read, const QString& value)
{
    const auto fields =
        read.Fields(value, QLatin1Char(','), 6, QStringLiteral("DIRECTION,WIDTH,SPACING,#RRGGBB,KIND,TRANSLUCENCY"));
    if (!fields)
        return {};
    const QString& direction = fields->at(0);
    if (direction != QLatin1String("0") && direction != QLatin1String("90"))
        return read.Refuse<Rule>(QStringLiteral("的 DIRECTION 应为 0 (水平线) 或 90 (竖线)"), direction);
    const auto width = read.Number(fields->at(1), QStringLiteral("WIDTH"), 1, spanHighest);
    const auto spacing = read.Number(fields->at(2), QStringLiteral("SPACING"), 0, spanHighest);
    const auto color = read.Color(fields->at(3));
    const auto kind = read.Number(fields->at(4), QStringLiteral("KIND"), 0, 4);
    const auto translucency = read.Number(fields->at(5), QStringLiteral("TRANSLUCENCY"), 0, byteHighest);
    if (!width || !spacing || !color || !kind || !translucency)
        return {};
    // The editor offers the dashed and dotted kinds for one-pixel lines only.
    if (*width > 1 && *kind != 0)
        return read.Refuse<Rule>(QStringLiteral("的 KIND 在 WIDTH 大于 1 时只能为 0 (实线)"), fields->at(4));
    const int degrees = direction.toInt();
    return [=](CImageDoc& doc) { return doc.ApplyLines(degrees, *width, *spacing, *color, *kind, *translucency); };
}

std::optional<Rule> Dots(Reader& read, const QString& value)
{
    const auto fields = read.Fields(value, QLatin1Char(','), 4, QStringLiteral("LR,TB,#RRGGBB,TRANSLUCENCY"));
    if (!fields)
        return {};
    const auto leftRight = read.Number(fields->at(0), QStringLiteral("LR"), 0, spanHighest);
    const auto topBottom = read.Number(fields->at(1), QStringLiteral("TB"), 0, spanHighest);
    const auto color = read.Color(fields->at(2));
    const auto translucency = read.Number(fields->at(3), QStringLiteral("TRANSLUCENCY"), 0, byteHighest);
    if (!leftRight || !topBottom || !color || !translucency)
        return {};
    return [=](CImageDoc& doc) { return doc.ApplyDots(*leftRight, *topBottom, *color, *translucency); };
}

std::optional<Rule> Fill(Reader& read, const QString& value)
{
    const auto fields = read.Fields(value, QLatin1Char(','), 2, QStringLiteral("#RRGGBB,TRANSLUCENCY"));
    if (!fields)
        return {};
    const auto color = read.Color(fields->at(0));
    const auto translucency = read.Number(fields->at(1), QStringLiteral("TRANSLUCENCY"), 0, byteHighest);
    if (!color || !translucency)
        return {};
    return [=](CImageDoc& doc) { return doc.ApplySolidFill(*color, *translucency); };
}

struct Channel
{
    bool on = false;
    int lowest = 0;
    int highest = byteHighest;
};

std::optional<Channel> FilterChannel(Reader& read, const QString& text, const QString& name)
{
    if (text == QLatin1String("-"))
        return Channel{};
    const QStringList bounds = text.split(QLatin1Char('-'));
    if (bounds.size() != 2)
        return read.Refuse<Channel>(QStringLiteral("的 %1 应写成 MIN-MAX 或 - (不使用)").arg(name), text);
    const auto lowest = read.Number(bounds[0], name + QStringLiteral(" 的 MIN"), 0, byteHighest);
    const auto highest = read.Number(bounds[1], name + QStringLiteral(" 的 MAX"), 0, byteHighest);
    if (!lowest || !highest)
        return {};
    return Channel{true, *lowest, *highest};
}

std::optional<Rule> Filter(Reader& read, const QString& value)
{
    const auto fields = read.Fields(value, QLatin1Char(','), 4, QStringLiteral("R|-,G|-,B|-,gray:LEVEL|fill:#RRGGBB"));
    if (!fields)
        return {};
    const auto red = FilterChannel(read, fields->at(0), QStringLiteral("R"));
    const auto green = FilterChannel(read, fields->at(1), QStringLiteral("G"));
    const auto blue = FilterChannel(read, fields->at(2), QStringLiteral("B"));
    const QString& mode = fields->at(3);
    // The dialog's own values for the part of the mode not in use: gray level 0, fill white.
    std::optional<int> level = 0;
    std::optional<std::uint32_t> fill = 0x00FFFFFF;
    const bool grayMode = mode.startsWith(QLatin1String("gray:"));
    if (grayMode)
        level = read.Number(mode.mid(5), QStringLiteral("LEVEL"), levelLowest, levelHighest);
    else if (mode.startsWith(QLatin1String("fill:")))
        fill = read.Color(mode.mid(5));
    else
        return read.Refuse<Rule>(QStringLiteral("的第四项应为 gray:LEVEL 或 fill:#RRGGBB"), mode);
    if (!red || !green || !blue || !level || !fill)
        return {};
    return [=, r = *red, g = *green, b = *blue](CImageDoc& doc) {
        return doc.ApplyColorFilter(r.on, r.lowest, r.highest, g.on, g.lowest, g.highest, b.on, b.lowest, b.highest,
                                    grayMode, *level, *fill);
    };
}

std::optional<QPoint> Point(Reader& read, const QString& x, const QString& y)
{
    const auto px = read.Number(x, QStringLiteral("X"), 0, CStepParser::MaxCoordinate);
    const auto py = read.Number(y, QStringLiteral("Y"), 0, CStepParser::MaxCoordinate);
    if (!px || !py)
        return {};
    return QPoint(*px, *py);
}

// The corners of a rectangle or an ellipse, in the order they were dragged.
std::optional<QList<QPoint>> Corners(Reader& read, const QString& text)
{
    const auto fields = read.Fields(text, QLatin1Char(','), 4, QStringLiteral("X0,Y0,X1,Y1"));
    if (!fields)
        return {};
    const auto first = Point(read, fields->at(0), fields->at(1));
    const auto second = Point(read, fields->at(2), fields->at(3));
    if (!first || !second)
        return {};
    if (*first == *second)
        return read.Refuse<QList<QPoint>>(QStringLiteral("的两个角不能是同一个点"), text);
    return QList<QPoint>{*first, *second};
}

// The vertices or the track, closed by a copy of the first point.
std::optional<QList<QPoint>> Outline(Reader& read, const QString& text)
{
    QList<QPoint> points;
    for (const QString& pair : text.split(QLatin1Char(';'))) {
        const auto xy = read.Fields(pair, QLatin1Char(','), 2, QStringLiteral("X,Y;X,Y;X,Y..."));
        const auto point = xy ? Point(read, xy->at(0), xy->at(1)) : std::nullopt;
        if (!point)
            return {};
        points.append(*point);
    }
    if (points.size() < 3)
        return read.Refuse<QList<QPoint>>(QStringLiteral("至少需要三个点"), text);
    points.append(points.first());
    return points;
}

std::optional<Rule> Select(Reader& read, const QString& value)
{
    CSelection selection;
    if (value != QLatin1String("none")) {
        const qsizetype colon = value.indexOf(QLatin1Char(':'));
        const QString kind = value.left(colon);
        const QString points = colon < 0 ? QString() : value.mid(colon + 1);
        std::optional<QList<QPoint>> committed;
        if (kind == QLatin1String("rect") || kind == QLatin1String("ellipse")) {
            selection.kind = kind == QLatin1String("rect") ? SelectionKind::Rectangle : SelectionKind::Ellipse;
            committed = Corners(read, points);
        } else if (kind == QLatin1String("polygon") || kind == QLatin1String("freeform")) {
            selection.kind = kind == QLatin1String("polygon") ? SelectionKind::Polygon : SelectionKind::Freeform;
            committed = Outline(read, points);
        } else {
            return read.Refuse<Rule>(QStringLiteral("应为 rect:、ellipse:、polygon:、freeform: 加坐标,或 none"), value);
        }
        if (!committed)
            return {};
        for (const QPoint& p : *committed)
            selection.AddPoint(p);
    }
    return [=](CImageDoc& doc) {
        doc.selection = selection;
        return true;
    };
}

using Parser = std::optional<Rule> (*)(Reader&, const QString&);

struct Entry
{
    CStepParser::Option option;
    Parser parse;
};

const QList<Entry>& Entries()
{
    static const QList<Entry> entries = {
        {{QStringLiteral("select"), QStringLiteral("KIND:POINTS"),
          QStringLiteral("之后的各步只处理这个选区: rect:X0,Y0,X1,Y1 (矩形)、ellipse:X0,Y0,X1,Y1 (椭圆)、"
                         "polygon:X,Y;X,Y;... (多边形)、freeform:X,Y;... (自由形状),坐标为 0 到 100000 的像素"
                         "位置,超出图片的部分不计;none 为整幅图片 (默认)")},
         Select},
        {{QStringLiteral("gray"), QStringLiteral("LEVEL"), QStringLiteral("灰度处理,LEVEL 为 -255 到 255")}, Gray},
        {{QStringLiteral("invert"), QString(), QStringLiteral("反色处理")}, Invert},
        {{QStringLiteral("brightness"), QStringLiteral("AMOUNT"), QStringLiteral("明暗处理,AMOUNT 为 -255 到 255")},
         Brightness},
        {{QStringLiteral("rgb"), QStringLiteral("R,G,B"), QStringLiteral("RGB颜色调整,R、G、B 各为 -255 到 255")}, Rgb},
        {{QStringLiteral("threshold"), QStringLiteral("T[,reverse]"),
          QStringLiteral("二值化,T 为 0 到 255;加 ,reverse 则黑白反转")},
         Threshold},
        {{QStringLiteral("lines"), QStringLiteral("DIRECTION,WIDTH,SPACING,#RRGGBB,KIND,TRANSLUCENCY"),
          QStringLiteral("线处理: DIRECTION 为 0 (水平线) 或 90 (竖线),WIDTH 为 1 到 3000,SPACING 为 0 到 3000,"
                         "KIND 为 0 到 4 (实线、虚线、点线、点划线、点点划线;WIDTH 大于 1 时只能为 0),"
                         "TRANSLUCENCY 为 0 到 255")},
         Lines},
        {{QStringLiteral("dots"), QStringLiteral("LR,TB,#RRGGBB,TRANSLUCENCY"),
          QStringLiteral("点处理: LR (左右间距) 与 TB (上下间距) 为 0 到 3000,TRANSLUCENCY 为 0 到 255")},
         Dots},
        {{QStringLiteral("fill"), QStringLiteral("#RRGGBB,TRANSLUCENCY"),
          QStringLiteral("单色填充,TRANSLUCENCY 为 0 到 255")},
         Fill},
        {{QStringLiteral("filter"), QStringLiteral("R|-,G|-,B|-,gray:LEVEL|fill:#RRGGBB"),
          QStringLiteral("颜色过滤: 每个通道写 MIN-MAX (0 到 255) 或 - (不使用),然后 gray:LEVEL (LEVEL 为 -255 "
                         "到 255) 或 fill:#RRGGBB;例如 150-255,-,-,gray:0")},
         Filter},
    };
    return entries;
}

const Entry* Find(const QString& name)
{
    const QList<Entry>& entries = Entries();
    const auto it = std::find_if(entries.begin(), entries.end(), [&](const Entry& e) { return e.option.name == name; });
    return it == entries.end() ? nullptr : &*it;
}

} // namespace

const QList<CStepParser::Option>& CStepParser::Options()
{
    static const QList<Option> options = [] {
        QList<Option> list;
        for (const Entry& entry : Entries())
            list.append(entry.option);
        return list;
    }();
    return options;
}

bool CStepParser::IsStepOption(const QString& name)
{
    return Find(name) != nullptr;
}

std::optional<BatchStep> CStepParser::Parse(const QString& name, const QString& value, QString& refusal)
{
    const Entry* entry = Find(name);
    if (!entry)
        return {};
    Reader read(name, refusal);
    std::optional<Rule> rule = entry->parse(read, value);
    if (!rule)
        return {};
    return BatchStep{name, std::move(*rule)};
}
