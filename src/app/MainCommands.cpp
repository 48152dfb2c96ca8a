#include "app/MainCommands.h"

#include <QKeySequence>
#include <QRegularExpression>

#include <algorithm>

QString MainCommand::MenuText() const
{
    const QString itemText = QString::fromUtf8(text);
    if (keyLabel)
        return itemText + QLatin1Char('\t') + QString::fromUtf8(keyLabel);
    if (HasKey())
        return itemText + QLatin1Char('\t') + QKeySequence(key).toString(QKeySequence::PortableText);
    return itemText;
}

QString MainCommand::ButtonToolTip() const
{
    if (*button.toolTip != '\0')
        return QString::fromUtf8(button.toolTip);
    QString label = QString::fromUtf8(text);
    label.remove(QRegularExpression(QStringLiteral("\\(&.\\)|&")));
    if (!HasKey())
        return label;
    return label + QLatin1Char('(') + QKeySequence(key).toString(QKeySequence::PortableText) + QLatin1Char(')');
}

std::span<const MainCommand> MainCommands()
{
    using C = CMainDlg;
    using M = MainMenu;
    static constexpr MainCommand rows[] = {
        {.id = C::Open,
         .menu = M::File,
         .text = "打开(&O)...",
         .key = Qt::CTRL | Qt::Key_O,
         .button = {1001, 4, "open", "打开...(Ctrl+O)"},
         .handler = &C::OnOpen},
        {.id = C::Save,
         .menu = M::File,
         .text = "保存(&S)",
         .key = Qt::CTRL | Qt::Key_S,
         .button = {1002, 20, "save", "保存(Ctrl+S)"},
         .handler = &C::OnSave},
        {.id = C::SaveAs,
         .menu = M::File,
         .text = "另存为(&A)...",
         .button = {1003, 36, "save-as", "另存为..."},
         .handler = &C::OnSaveAs},
        {.id = C::CloseFile,
         .menu = M::File,
         .text = "关闭文件(&C)",
         .button = {1007, 52, "close", "关闭文件"},
         .handler = &C::OnCloseFile},
        {.id = C::Exit, .menu = M::File, .text = "退出程序(&X)", .separatorBefore = true, .handler = &C::OnExit},

        {.id = C::Undo,
         .menu = M::Edit,
         .text = "撤消(&Z)",
         .key = Qt::CTRL | Qt::Key_Z,
         .button = {1004, 72, "undo", "撤消(Ctrl+Z)"},
         .handler = &C::OnUndo},
        {.id = C::Redo,
         .menu = M::Edit,
         .text = "重复(&Y)",
         .key = Qt::CTRL | Qt::Key_Y,
         .button = {1005, 88, "redo", "重复(Ctrl+Y)"},
         .handler = &C::OnRedo},
        {.id = C::Copy,
         .menu = M::Edit,
         .text = "复制选中区域(&C)",
         .separatorBefore = true,
         .key = Qt::CTRL | Qt::Key_C,
         .handler = &C::OnCopy},

        // The pointer and freehand items name other keys than they are bound to; both stay so.
        {.id = C::ToolPointer,
         .menu = M::Select,
         .text = "指针(&I)",
         .key = Qt::CTRL | Qt::Key_L,
         .keyLabel = "Ctrl+C",
         .button = {1014, 112, "tool-pointer"},
         .handler = SelectionKind::None},
        {.id = C::ToolRectangle,
         .menu = M::Select,
         .text = "矩形区域选择(&R)",
         .key = Qt::CTRL | Qt::Key_R,
         .button = {1015, 128, "tool-rectangle"},
         .handler = SelectionKind::Rectangle},
        {.id = C::ToolEllipse,
         .menu = M::Select,
         .text = "椭圆区域选择(&E)",
         .key = Qt::CTRL | Qt::Key_E,
         .button = {1016, 144, "tool-ellipse"},
         .handler = SelectionKind::Ellipse},
        {.id = C::ToolPolygon,
         .menu = M::Select,
         .text = "多边形区域选择(&P)",
         .key = Qt::CTRL | Qt::Key_P,
         .button = {1017, 160, "tool-polygon"},
         .handler = SelectionKind::Polygon},
        {.id = C::ToolFreeform,
         .menu = M::Select,
         .text = "任意形状区域选择(&L)",
         .key = Qt::CTRL | Qt::Key_A,
         .keyLabel = "Ctrl+L",
         .button = {1018, 176, "tool-freehand"},
         .handler = SelectionKind::Freeform},

        // Ctrl++ and Ctrl+=: on most keyboards + is the shifted =, so both zoom in.
        {.id = C::ZoomIn,
         .menu = M::View,
         .text = "放大(&I)",
         .key = Qt::CTRL | Qt::Key_Plus,
         .otherKey = Qt::CTRL | Qt::Key_Equal,
         .handler = &C::OnZoomIn},
        {.id = C::ZoomOut,
         .menu = M::View,
         .text = "缩小(&O)",
         .key = Qt::CTRL | Qt::Key_Minus,
         .handler = &C::OnZoomOut},
        {.id = C::ActualSize,
         .menu = M::View,
         .text = "实际大小(&A)",
         .separatorBefore = true,
         .key = Qt::CTRL | Qt::Key_0,
         .handler = &C::OnActualSize},
        {.id = C::FitWindow,
         .menu = M::View,
         .text = "适合窗口(&F)",
         .key = Qt::CTRL | Qt::Key_9,
         .handler = &C::OnFitWindow},

        {.id = C::Gray,
         .menu = M::Effects,
         .text = "灰度处理...",
         .handler = EffectHandler{EffectCommand::Gray, "没有打开任何文件,无法进行灰度处理操作", "灰度处理成功"}},
        {.id = C::Invert, .menu = M::Effects, .text = "反色处理", .handler = &C::OnInvert},
        {.id = C::Brightness,
         .menu = M::Effects,
         .text = "明暗处理...",
         .handler = EffectHandler{EffectCommand::Brightness, "没有打开任何文件,无法进行明暗处理操作", "明暗处理成功"}},
        {.id = C::Rgb,
         .menu = M::Effects,
         .text = "RGB颜色调整...",
         .handler = EffectHandler{EffectCommand::Rgb, "没有打开任何文件,无法进行RGB处理操作", "RGB处理成功"}},
        {.id = C::Line,
         .menu = M::Effects,
         .text = "线处理...",
         .separatorBefore = true,
         .handler = EffectHandler{EffectCommand::Line, "没有打开任何文件,无法进行线处理操作", "线处理成功"}},
        {.id = C::Dot,
         .menu = M::Effects,
         .text = "点处理...",
         .handler = EffectHandler{EffectCommand::Dot, "没有打开任何文件,无法进行点处理操作", "点处理成功"}},
        {.id = C::ColorFilter,
         .menu = M::Effects,
         .text = "颜色过滤...",
         .handler = EffectHandler{EffectCommand::ColorFilter, "没有打开任何文件,无法进行颜色过滤处理操作",
                                  "颜色过滤处理成功"}},
        {.id = C::SolidFill,
         .menu = M::Effects,
         .text = "单色填充...",
         .handler =
             EffectHandler{EffectCommand::SolidFill, "没有打开任何文件,无法进行单色填充处理操作", "单色填充处理成功"}},
        {.id = C::Threshold,
         .menu = M::Effects,
         .text = "二值化...",
         .handler =
             EffectHandler{EffectCommand::Threshold, "没有打开任何文件,无法进行二值化处理操作", "二值化处理成功"}},

        {.id = C::About,
         .menu = M::About,
         .text = "关于作者(&A)...",
         .button = {1006, 200, "about", "关于作者..."},
         .handler = &C::OnAbout},
    };
    return rows;
}

const MainCommand* FindMainCommand(int id)
{
    const std::span<const MainCommand> rows = MainCommands();
    const auto row = std::find_if(rows.begin(), rows.end(), [id](const MainCommand& r) { return r.id == id; });
    return row == rows.end() ? nullptr : &*row;
}
