#include "ReportLayout.h"

#include <algorithm>

ReportLayout::ReportLayout()
{
    static const char* const names[ReportBand::KindCount] = {"Section4", "Section2", "Section1",
                                                             "Section3", "Section5"};
    for (int kind = 0; kind < ReportBand::KindCount; ++kind) {
        m_bands[kind].kind = ReportBand::Kind(kind);
        m_bands[kind].name = QString::fromLatin1(names[kind]);
    }
}

ReportLayout::ReportLayout(const QString& name) : ReportLayout()
{
    m_name = name;
}

int ReportLayout::designWidth() const
{
    int width = 0;
    for (const ReportBand& band : m_bands) {
        for (const ReportElement& e : band.elements)
            width = std::max(width, e.right());
    }
    return width;
}

void ReportLayout::setMargins(int twips)
{
    m_leftMargin = m_topMargin = m_rightMargin = m_bottomMargin = twips;
}

QString ReportLayout::errorMessage(int number, const QString& description) const
{
    return m_errorPrefix + QString::number(number) + QStringLiteral(" - ") + description;
}

void ReportLayout::raiseError(int number, const QString& description) const
{
    if (hasErrorHandler() && m_errorHandler)
        m_errorHandler(number, description);
}
