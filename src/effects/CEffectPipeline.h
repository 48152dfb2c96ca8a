#pragma once

#include "selection/CSelection.h"
#include "tiles/ImageState.h"

#include <QRect>

#include <cstdint>
#include <functional>
#include <memory>

// Runs an effect over the selected pixels of a state and returns the result as a new state.
//
// Only the processing rectangle is visited, tile by tile, by a second thread as well when it meets
// many tiles; pixels outside it, and
// pixels inside it but outside the selected shape, keep their values. The new state shares every
// tile the rectangle does not meet with the state it came from.
class CEffectPipeline
{
public:
    // Computes `count` pixels of a row: `src` are the pixels of the state the effect starts from,
    // `dst` receives the effect's values; (x, y) is the image position of the first pixel. Called
    // concurrently for different rows, so a rule must not keep state of its own.
    using SpanRule = std::function<void(const std::uint32_t* src, std::uint32_t* dst, int count, int x, int y)>;

    // The rectangle an effect processes: the selection's bounds as columns left..right-1 and rows
    // top..bottom-1 (the whole image for kind None), clipped to the image.
    static QRect ProcessingRect(const CSelection& selection, QSize image);

    // The new state, or null when memory is exhausted. An empty rule changes no pixel: the new
    // state then shares every tile with `source`.
    static std::unique_ptr<ImageState> Apply(const ImageState& source, const CSelection& selection,
                                             const SpanRule& rule);
    // Applies the rule to `state` itself, for work that keeps no history and shows nothing: a tile
    // no other state shares is rewritten where it lies, so no second picture is taken. False when
    // memory is exhausted, with the tiles done so far changed. Every rule reads a pixel before it
    // writes it, so reading and writing the same pixels is sound.
    static bool ApplyInPlace(ImageState& state, const CSelection& selection, const SpanRule& rule);

private:
    // Writes into `target` what the rule makes of `source` (they may be one state).
    static bool Process(const ImageState& source, ImageState& target, const CSelection& selection,
                        const SpanRule& rule);
};
