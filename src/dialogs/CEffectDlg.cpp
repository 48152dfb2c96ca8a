#include "dialogs/CEffectDlg.h"

#include "canvas/CDrawView.h"
#include "dialogs/CCanvasHost.h"
#include "dialogs/CColorSwatch.h"
#include "dialogs/CEffectPrompts.h"
#include "dialogs/DecimalText.h"
#include "widgets/DialogUnits.h"

#include <cstdint>

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>

CEffectDlg::CEffectDlg(QWidget* owner, CCanvasHost& host, const Frame& frame)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      canvasHost(host)
{
    setWindowTitle(QString::fromUtf8(frame.caption));
    setFont(DialogUnits::DialogFont());
    setFixedSize(DialogUnits::ToPixels(frame.units, font()));
    controls = DialogLayout::Build(this, frame.controls);
    connect(Control<QPushButton>(frame.okId), &QPushButton::clicked, this, [this] { done(Confirmed); });
    // As the close box does: closeEvent ends the dialog through reject().
    connect(Control<QPushButton>(frame.cancelId), &QPushButton::clicked, this, &QWidget::close);
}

void CEffectDlg::WrongControl(int id, const QWidget* found, const char* expected) const
{
    // qFatal rather than an assertion, which the test builds (NDEBUG) would leave out.
    const char* dialog = metaObject()->className();
    const QByteArray caption = windowTitle().toUtf8();
    if (!found)
        qFatal("%s \"%s\" has no control %d (a %s was expected)", dialog, caption.constData(), id, expected);
    qFatal("%s \"%s\": control %d is a %s, not a %s", dialog, caption.constData(), id, found->metaObject()->className(),
           expected);
}

// No button is a default button, so Enter never confirms from a field or slider; on a push button
// it presses that button.
void CEffectDlg::keyPressEvent(QKeyEvent* event)
{
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()))
            button->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void CEffectDlg::Preview()
{
    CDrawView* canvas = canvasHost.Canvas();
    if (!canvas || !canvas->doc.IsLoaded())
        return;
    // Only a preview of our own may go: after a failed effect the newest state is the user's.
    if (previewPushed)
        canvas->doc.DropNewest();
    previewPushed = ApplyTo(canvas->doc);
    // Said once: a slider dragged through a shortage would otherwise restart the popup at every step.
    if (!previewPushed && !failureReported) {
        failureReported = true;
        canvasHost.PreviewFailed(canvas->doc.GetErrorText());
    }
    canvas->Redraw();
}

void CEffectDlg::OnSlider(QSlider* slider, const std::function<void()>& handler)
{
    connect(slider, &QAbstractSlider::actionTriggered, this, [handler](int) { handler(); });
}

int CEffectDlg::Position(const QSlider* slider)
{
    return slider->sliderPosition();
}

void CEffectDlg::WriteText(QLineEdit* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}

void CEffectDlg::FollowField(QLineEdit* field, QSlider* slider)
{
    const int value = DecimalText::Lenient(field->text());
    if (value >= slider->minimum() && value <= slider->maximum()) {
        slider->setValue(value);
    } else {
        slider->setValue(0);
        WriteText(field, QStringLiteral("0"));
    }
}

QSlider* CEffectDlg::SetUpCaptionedSlider(int sliderId, int captionId, const QString& format, int initial,
                                          const std::function<void()>& onMove)
{
    auto* slider = Control<QSlider>(sliderId);
    auto* caption = Control<QLabel>(captionId);
    const auto showValue = [slider, caption, format] { caption->setText(format.arg(Position(slider))); };
    slider->setRange(0, 255);
    slider->setValue(initial);
    showValue();
    OnSlider(slider, [showValue, onMove] {
        showValue();
        onMove();
    });
    return slider;
}

QSlider* CEffectDlg::SetUpTranslucency(int sliderId, int captionId, int initial, const std::function<void()>& onMove)
{
    return SetUpCaptionedSlider(sliderId, captionId, QStringLiteral("半透明度:%1"), initial, onMove);
}

bool CEffectDlg::ChooseColor(CEffectPrompts& prompts, CColorSwatch* swatch)
{
    const std::optional<std::uint32_t> chosen = prompts.ChooseColor(this, swatch->Color());
    if (chosen)
        swatch->SetColor(*chosen);
    return chosen.has_value();
}

void CEffectDlg::OnArrows(QScrollBar* arrows, const std::function<void(int)>& handler)
{
    connect(arrows, &QAbstractSlider::actionTriggered, this, [arrows, handler](int action) {
        // Back to the middle, so that both arrows keep working; the position means nothing.
        arrows->setSliderPosition(1);
        // In a vertical scroll bar the up arrow subtracts.
        handler(action == QAbstractSlider::SliderSingleStepSub   ? 1
                : action == QAbstractSlider::SliderSingleStepAdd ? -1
                                                                 : 0);
    });
}

bool CEffectDlg::ReadInteger(CEffectPrompts& prompts, QLineEdit* field, int& value, int lowest, int highest)
{
    const std::optional<int> number = DecimalText::Strict(field->text());
    if (number)
        value = *number;
    if (number && *number >= lowest && *number <= highest)
        return true;
    prompts.Refuse(this, number ? QStringLiteral("“请填入一个在%1和%2之间的整数。”").arg(lowest).arg(highest)
                                : QStringLiteral("请键入一个整数。"));
    field->setFocus(Qt::OtherFocusReason);
    field->selectAll();
    return false;
}

int CEffectDlg::StepOrReset(int value, int step, int lowest, int highest)
{
    const std::int64_t next = std::int64_t(value) + step;
    return next < lowest || next > highest ? 1 : int(next);
}
