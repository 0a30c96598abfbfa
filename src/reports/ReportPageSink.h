#pragma once

#include "AuditError.h"
#include "LaidOutBand.h"

// A back end of the page layout: it receives the pages band by band, in page
// order and from top to bottom, and draws them on its medium. Every call
// returns false on a failure, which error() then describes.
class ReportPageSink
{
public:
    virtual ~ReportPageSink() = default;

    virtual bool beginDocument(int pageCount) = 0;
    virtual bool beginPage(int page) = 0;
    // Draws the part [sliceTop, sliceBottom) of a band (band coordinates)
    // whose top-left corner is at the left margin and originY on the page
    // (twips from the paper's top). A band taller than the rest of the page
    // arrives in slices, one per page.
    virtual bool drawBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom) = 0;
    virtual bool endPage() = 0;
    virtual bool endDocument() = 0;

    AuditError error() const { return m_error; }

protected:
    bool fail(int number, const QString& description)
    {
        m_error = {number, description};
        return false;
    }

private:
    AuditError m_error;
};
