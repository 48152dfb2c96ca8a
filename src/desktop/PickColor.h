#pragma once

#include <cstdint>
#include <optional>

// Lets the user pick the colour of any pixel on the screen and returns it as 0x00BBGGRR. Blocks,
// running a local event loop, until the user has picked. Uses the desktop portal's colour picker
// where the session offers one, otherwise a full-screen picker window over a grab of the screen.
// Nothing when the user cancelled (Esc, or the portal's cancel), or while another pick is under way.
std::optional<std::uint32_t> PickColor();
