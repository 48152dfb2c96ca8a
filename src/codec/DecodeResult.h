#pragma once

// How decoding a file straight into the tiles of a state ended.
enum class DecodeResult
{
    Decoded,
    NotTaken, // a file of a kind Qt's reader decodes instead
    Broken,   // not of the format, or damaged before a picture could be shown
    TooLarge, // more than the memory the system can give
    NoMemory,
};
