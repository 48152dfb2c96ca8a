#pragma once

#include <cstdint>

// The kind of a popup message; each has its own symbol.
enum class NoticeKind : std::int32_t
{
    Success = 0, // the command was done
    Failure = 1, // it failed
    Warning = 2, // it was refused because no image is open
};
