#pragma once

class CDrawView;
class QString;

// The window that owns the canvas. The effect dialogs are owned by it and ask it for the canvas
// each time they preview, so they never hold on to the canvas or its document.
class CCanvasHost
{
public:
    virtual ~CCanvasHost() = default;
    // Null until the canvas exists.
    virtual CDrawView* Canvas() const = 0;
    // A preview could not be made (its effect failed for `reason`, the document's error text)
    // while the dialog is open; the host tells the user.
    virtual void PreviewFailed(const QString& reason) = 0;
};
