#pragma once

// The main window's commands that run an effect dialog.
enum class EffectCommand
{
    Gray,
    Brightness,
    Rgb,
    Line,
    Dot,
    ColorFilter,
    SolidFill,
    Threshold,
};
