#pragma once

class CDrawView;
class QString;

// The window that owns the canvas. Each effect dialog is handed its host when it is made (the host
// is usually its owner as well) and asks it for the canvas each time it previews, so it never holds
// on to the canvas or its document.
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
