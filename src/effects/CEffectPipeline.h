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
};
