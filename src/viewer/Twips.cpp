#include "Twips.h"

#include <QPaintDevice>
#include <QtMath>

Twips::Twips(const QPaintDevice* device)
    : m_dpiX(device && device->logicalDpiX() > 0 ? device->logicalDpiX() : 96),
      m_dpiY(device && device->logicalDpiY() > 0 ? device->logicalDpiY() : 96)
{
}

int Twips::toPixelsX(double twips) const
{
    return qRound(twips * m_dpiX / 1440.0);
}

int Twips::toPixelsY(double twips) const
{
    return qRound(twips * m_dpiY / 1440.0);
}

QString Twips::text(double twips)
{
    // Seven significant digits, as a single-precision number carries.
    return QString::number(static_cast<double>(static_cast<float>(twips)), 'g', 7);
}

std::optional<double> Twips::read(const QString& text)
{
    bool ok = false;
    const double value = text.trimmed().toDouble(&ok);
    if (!ok || !qIsFinite(value))
        return std::nullopt;
    return value;
}
