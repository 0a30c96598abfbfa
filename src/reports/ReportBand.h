#pragma once

#include "ReportElement.h"

#include <QList>
#include <QString>

// One band of a report layout: printed once (report header and footer), on
// every page (page header and footer) or once per row (detail).
struct ReportBand
{
    enum Kind
    {
        ReportHeader,
        PageHeader,
        Detail,
        PageFooter,
        ReportFooter
    };
    static constexpr int KindCount = 5;

    Kind kind = Detail;
    QString name;
    int height = 0; // twips
    // Detail only: a band that does not fit in the rest of the page starts on
    // the next one instead of being split.
    bool keepTogether = false;
    QList<ReportElement> elements;

    bool isEmpty() const { return height <= 0 && elements.isEmpty(); }
};
