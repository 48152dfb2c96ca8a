#pragma once

#include <QFrame>

#include <cstdint>

// Shows one colour inside a one-pixel black frame. Colours are 0x00BBGGRR; black at first.
class CColorSwatch : public QFrame
{
    Q_OBJECT

public:
    explicit CColorSwatch(QWidget* parent = nullptr);

    std::uint32_t Color() const { return color; }
    // Stores the colour and repaints at once.
    void SetColor(std::uint32_t value);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::uint32_t color = 0;
};
