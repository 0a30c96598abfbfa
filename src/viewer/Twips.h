#pragma once

#include <QString>
#include <optional>

class QPaintDevice;

// The settings keep window placement and grid column widths in twips
// (1/1440 inch), so that the stored values keep their meaning on a screen of
// another resolution. This converts for one device's logical resolution.
class Twips
{
public:
    explicit Twips(const QPaintDevice* device);
    Twips(qreal dpiX, qreal dpiY) : m_dpiX(dpiX), m_dpiY(dpiY) {}

    double fromPixelsX(int pixels) const { return pixels * 1440.0 / m_dpiX; }
    double fromPixelsY(int pixels) const { return pixels * 1440.0 / m_dpiY; }
    int toPixelsX(double twips) const;
    int toPixelsY(double twips) const;

    // The text of a single-precision number, without exponent for window sizes.
    static QString text(double twips);
    // A stored value read as a number; nothing when the text is not one.
    static std::optional<double> read(const QString& text);

private:
    qreal m_dpiX;
    qreal m_dpiY;
};
