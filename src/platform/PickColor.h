#pragma once

#include <cstdint>

// Lets the user pick the colour of any pixel on the screen and returns it as 0x00BBGGRR. Blocks,
// running a local event loop, until the user has picked. Uses the desktop portal's colour picker
// where the session offers one, otherwise a full-screen picker window over a grab of the screen.
// Cancelling (Esc, or the portal's cancel) answers the colour this function returned last, black
// before the first pick: the caller always gets a colour.
std::uint32_t PickColor();
