#include "batch/CBatchCommandLine.h"

#include "batch/CStepParser.h"
#include "document/CImageDoc.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <algorithm>

namespace {

QString Dashed(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

const QString supportedExtensions = QStringLiteral(".bmp、.jpg、.jpeg、.gif 或 .png");

} // namespace

CBatchCommandLine::CBatchCommandLine()
{
    for (const CStepParser::Option& step : CStepParser::Options())
        options.append(QCommandLineOption(step.name, step.description, step.valueName));
    options.append(QCommandLineOption({QStringLiteral("o"), QStringLiteral("output")},
                                      QStringLiteral("只有一个输入文件时,结果写入此文件,格式由扩展名决定"),
                                      QStringLiteral("文件")));
    options.append(QCommandLineOption({QStringLiteral("d"), QStringLiteral("directory")},
                                      QStringLiteral("结果以原文件名写入此目录 (不存在时创建)"),
                                      QStringLiteral("目录")));
    options.append(QCommandLineOption(QStringLiteral("format"),
                                      QStringLiteral("与 -d 一起用: 输出改为 bmp、jpg、jpeg、gif 或 png 格式"),
                                      QStringLiteral("格式")));
    options.append(QCommandLineOption({QStringLiteral("j"), QStringLiteral("jobs")},
                                      QStringLiteral("同时处理的文件数,1 到 256;默认为处理器核心数"),
                                      QStringLiteral("N")));
    options.append(
        QCommandLineOption(QStringLiteral("overwrite"), QStringLiteral("允许覆盖已经存在的文件,包括输入文件本身")));
    options.append(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("显示本帮助")));
    options.append(QCommandLineOption({QStringLiteral("v"), QStringLiteral("version")}, QStringLiteral("显示版本")));
    parser.addOptions(options);
}

CBatchCommandLine::Outcome CBatchCommandLine::Parse(const QStringList& arguments)
{
    plan = {};
    message.clear();
    if (!parser.parse(arguments)) {
        Reject(ParseErrorText(arguments));
        return Outcome::Refused;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        message = HelpText();
        return Outcome::Answered;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        message = QStringLiteral("quorvel-batch " QUORVEL_VERSION);
        return Outcome::Answered;
    }
    if (!ReadSteps() || !ReadOutputs())
        return Outcome::Refused;
    plan.overwrite = parser.isSet(QStringLiteral("overwrite"));
    return ReadJobs() ? Outcome::Run : Outcome::Refused;
}

bool CBatchCommandLine::Reject(const QString& text)
{
    message = text;
    return false;
}

QString CBatchCommandLine::ParseErrorText(const QStringList& arguments) const
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("未知选项 %1,用 --help 查看全部选项").arg(Dashed(unknown.first()));
    // A value option swallows whatever follows it, so only the last argument can lack its value.
    const QString last = arguments.size() > 1 ? arguments.last() : QString();
    if (last.startsWith(QLatin1Char('-')) && !last.contains(QLatin1Char('=')))
        return QStringLiteral("选项 %1 缺少参数值").arg(last);
    for (const QString& argument : arguments) {
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        const bool takesNoValue = std::any_of(options.begin(), options.end(), [&name](const QCommandLineOption& o) {
            return o.valueName().isEmpty() && o.names().contains(name.mid(2));
        });
        if (argument.startsWith(QLatin1String("--")) && argument.contains(QLatin1Char('=')) && takesNoValue)
            return QStringLiteral("选项 %1 不带参数值").arg(name);
    }
    return parser.errorText();
}

bool CBatchCommandLine::ReadSteps()
{
    QHash<QString, qsizetype> used;
    for (const QString& name : parser.optionNames()) {
        if (!CStepParser::IsStepOption(name))
            continue;
        // optionNames() keeps the command line's order; values() keeps each option's own order.
        const qsizetype index = used[name]++;
        const QStringList values = parser.values(name);
        std::optional<BatchStep> step = CStepParser::Parse(name, values.value(index), message);
        if (!step)
            return false;
        plan.steps.append(std::move(*step));
    }
    return true;
}

bool CBatchCommandLine::SingleValue(const QString& name, QString& value)
{
    const QStringList values = parser.values(name);
    if (values.size() > 1) {
        return Reject(QStringLiteral("选项 %1 只能给一次").arg(Dashed(name)));
    }
    value = values.value(0);
    return true;
}

bool CBatchCommandLine::ReadJobs()
{
    QString jobs;
    if (!SingleValue(QStringLiteral("j"), jobs))
        return false;
    if (jobs.isEmpty())
        return true;
    bool ok = false;
    const int count = jobs.toInt(&ok);
    if (!ok || count < 1 || count > MaxWorkers)
        return Reject(QStringLiteral("选项 -j 的 N 应为 1 到 %1 之间的整数,而不是 \"%2\"").arg(MaxWorkers).arg(jobs));
    plan.workers = count;
    return true;
}

bool CBatchCommandLine::ReadOutputs()
{
    const QStringList inputs = parser.positionalArguments();
    QString file, directory, format;
    if (!SingleValue(QStringLiteral("o"), file) || !SingleValue(QStringLiteral("d"), directory) ||
        !SingleValue(QStringLiteral("format"), format))
        return false;
    if (inputs.isEmpty())
        return Reject(QStringLiteral("没有给出输入文件"));
    if (file.isEmpty() == directory.isEmpty())
        return Reject(QStringLiteral("请用 -o 给出输出文件或用 -d 给出输出目录 (二者选一)"));
    if (!file.isEmpty()) {
        if (inputs.size() > 1)
            return Reject(QStringLiteral("-o 只能用于一个输入文件;%1 个输入文件请用 -d 输出目录").arg(inputs.size()));
        if (!format.isEmpty())
            return Reject(QStringLiteral("--format 只能与 -d 一起用;-o 的格式由输出文件的扩展名决定"));
        if (CImageDoc::TypeFromExtension(file) == FileType::None)
            return Reject(QStringLiteral("输出文件 %1 的扩展名应为 %2").arg(file, supportedExtensions));
        plan.jobs.append({inputs.first(), file});
        return true;
    }
    format = format.toLower();
    if (!format.isEmpty() && CImageDoc::TypeFromExtension(QLatin1Char('.') + format) == FileType::None)
        return Reject(QStringLiteral("选项 --format 应为 bmp、jpg、jpeg、gif 或 png,而不是 \"%1\"").arg(format));
    plan.outputDirectory = directory;
    return PlanDirectory(inputs, format);
}

bool CBatchCommandLine::PlanDirectory(const QStringList& inputs, const QString& format)
{
    QHash<QString, QString> claimed; // absolute output path → the input that writes it
    for (const QString& input : inputs) {
        QString name = QFileInfo(input).fileName();
        if (!format.isEmpty())
            name = name.left(name.lastIndexOf(QLatin1Char('.'))) + QLatin1Char('.') + format;
        else if (CImageDoc::TypeFromExtension(name) == FileType::None)
            return Reject(QStringLiteral("输入文件 %1 的扩展名不是 %2,请用 --format 指定输出格式")
                              .arg(input, supportedExtensions));
        const QString output = QDir(plan.outputDirectory).filePath(name);
        const QString key = QFileInfo(output).absoluteFilePath();
        if (const auto other = claimed.constFind(key); other != claimed.constEnd())
            return Reject(QStringLiteral("输入文件 %1 和 %2 会写到同一个输出文件 %3").arg(*other, input, output));
        claimed.insert(key, input);
        plan.jobs.append({input, output});
    }
    return true;
}

QString CBatchCommandLine::HelpText() const
{
    QString text = QStringLiteral("用法: quorvel-batch [选项] 输入文件... (-o 输出文件 | -d 输出目录)\n\n"
                                  "把编辑器的特殊处理用于 BMP、JPEG、GIF、PNG 图片,结果与在编辑器中处理完全相同。\n"
                                  "处理步骤按命令行中的先后顺序进行;多个输入文件在所有处理器核心上同时处理。\n\n"
                                  "处理步骤:\n");
    const auto line = [&text](const QCommandLineOption& option) {
        QStringList names;
        for (const QString& name : option.names())
            names.append(Dashed(name));
        text += QStringLiteral("  ") + names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            text += QLatin1Char(' ') + option.valueName();
        text += QStringLiteral("\n      ") + option.description() + QLatin1Char('\n');
    };
    for (const QCommandLineOption& option : options) {
        if (option.names().first() == QLatin1String("o"))
            text += QStringLiteral("\n输出:\n");
        else if (option.names().first() == QLatin1String("h"))
            text += QStringLiteral("\n其他:\n");
        line(option);
    }
    text += QStringLiteral(
        "\n颜色写成 #RRGGBB。在 shell 中以 # 开头的词是注释,请写成 --fill=#FF0000,0 或给参数加引号。\n"
        "不加 --overwrite 时,已经存在的输出文件 (包括输入文件本身) 保持不变并报告为失败。\n\n"
        "退出状态: 0 全部成功;1 有文件无法读取、处理或写入;2 命令行有误 (没有读取任何文件)。\n\n"
        "例子:\n"
        "  quorvel-batch --gray 0 -d 灰度 照片/*.jpg\n"
        "  quorvel-batch --select ellipse:100,80,900,700 --brightness 60 -o 结果.png 原图.bmp\n"
        "  quorvel-batch --filter=150-255,-,-,gray:0 --threshold=128,reverse -d out --format png *.jpg\n");
    return text;
}
