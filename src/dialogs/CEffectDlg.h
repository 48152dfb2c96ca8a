#pragma once

#include "dialogs/DialogLayout.h"

#include <QDialog>
#include <QHash>

#include <functional>
#include <span>

class CCanvasHost;
class CColorSwatch;
class CEffectPrompts;
class CImageDoc;
class QLabel;
class QLineEdit;
class QScrollBar;
class QSlider;

// An effect's modal dialog with live preview. From the end of construction until it closes, the
// document's newest state is the effect applied with the dialog's current parameters, put there by
// the dialog, and the state below it is the one that was newest when the dialog opened. OK ends
// the dialog with Confirmed; Cancel, Esc and the close box with Cancelled. The owner keeps the
// preview on Confirmed and drops it otherwise.
//
// The dialog asks its canvas host (given when it is made, usually its owner too, and outliving it)
// for the canvas at every preview, and holds on to neither the canvas nor the document. Enter does
// nothing, except on a push button, which it presses: no button is a default button.
class CEffectDlg : public QDialog
{
    Q_OBJECT

public:
    static constexpr int Confirmed = 100;
    static constexpr int Cancelled = 2;

    // False when the last preview could not be put on the document (its effect failed), so the
    // newest state is not this dialog's.
    bool HasPreview() const { return previewPushed; }

public Q_SLOTS:
    void reject() override { done(Cancelled); }

protected:
    struct Frame
    {
        const char* caption; // UTF-8
        QSize units;         // client size in dialog units
        std::span<const DialogLayout::Control> controls;
        int okId;
        int cancelId;
    };
    CEffectDlg(QWidget* owner, CCanvasHost& host, const Frame& frame);
    void keyPressEvent(QKeyEvent* event) override;

    // The control `id` of the table. A missing id or a control of another type is a mistake in the
    // dialog's table or code, so it ends the program at once, naming both, rather than crash later.
    template <typename T> T* Control(int id) const
    {
        QWidget* control = controls.value(id);
        auto* typed = qobject_cast<T*>(control);
        if (!typed)
            WrongControl(id, control, T::staticMetaObject.className());
        return typed;
    }

    // Drops this dialog's previous preview (none before the first), applies the effect with the
    // current parameters and redraws the canvas. Does nothing while no image is loaded.
    void Preview();
    // Calls the document's effect operation with the current parameters; true when it appended.
    virtual bool ApplyTo(CImageDoc& doc) = 0;

    // Calls `handler` on every move the user makes with `slider` (drags, keys, page clicks, wheel),
    // never on moves made by the program.
    void OnSlider(QSlider* slider, const std::function<void()>& handler);
    // Where the user has put the slider; valid inside OnSlider's handler too, before Qt has
    // propagated the move to the slider's value.
    static int Position(const QSlider* slider);
    // Writes a field's text only when it differs, so the caret stays where the user left it.
    static void WriteText(QLineEdit* field, const QString& text);
    // Moves `slider` to the number in `field`, read leniently. A number beyond the slider's range
    // puts the slider at 0 and "0" into the field; any other text is left exactly as typed
    // ("007", "12abc"), the slider showing its value.
    static void FollowField(QLineEdit* field, QSlider* slider);

    // Calls `handler` on every scroll action the user makes with a field's arrows: with +1 for the
    // up arrow, -1 for the down arrow and 0 for anything else.
    void OnArrows(QScrollBar* arrows, const std::function<void(int step)>& handler);
    // Reads a whole number from `field` into `value`. Refuses a text that is not one, or a number
    // outside lowest..highest (stored all the same), through `prompts`, then puts the focus back
    // on the field with its text selected and answers false.
    bool ReadInteger(CEffectPrompts& prompts, QLineEdit* field, int& value, int lowest, int highest);
    // `value` + `step`, or 1 when that falls outside lowest..highest: the arrows and the fields
    // replace a value out of range by 1 rather than clamping it.
    static int StepOrReset(int value, int step, int lowest, int highest);

    // A slider from 0 to 255 at `initial` whose caption label shows `format` ("...%1") with its
    // position and follows it; `onMove` runs after the caption on every move the user makes.
    QSlider* SetUpCaptionedSlider(int sliderId, int captionId, const QString& format, int initial,
                                  const std::function<void()>& onMove);
    // A captioned slider showing "半透明度:" and its position: the translucency of the fill effects.
    QSlider* SetUpTranslucency(int sliderId, int captionId, int initial, const std::function<void()>& onMove);
    // The colour chooser, starting at the swatch's colour; a chosen colour goes into the swatch.
    // False when the user cancelled.
    bool ChooseColor(CEffectPrompts& prompts, CColorSwatch* swatch);

private:
    [[noreturn]] void WrongControl(int id, const QWidget* found, const char* expected) const;

    CCanvasHost& canvasHost;
    QHash<int, QWidget*> controls;
    bool previewPushed = false;
    bool failureReported = false; // a failed preview was reported to the host
};
