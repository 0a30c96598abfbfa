#pragma once

#include <QtGlobal>

class QString;

// Progress of a long report run, and the operator's wish to stop it. The
// renderers report the rows read every RowsPerStep rows and stop at the next report once
// cancelled() is true, leaving no output behind. The report engine asks the
// installed hook for one per interactive run; unattended runs have none.
class ReportProgress
{
public:
    // How often the renderers report, in rows: rarely enough to cost nothing
    // measurable, often enough for a Cancel to act at once.
    static constexpr int RowsPerStep = 256;

    virtual ~ReportProgress();

    // A pass over total rows begins; 0 when the number is not known (a render
    // learns it only at the last row).
    virtual void begin(qint64 total) = 0;
    // done rows of the current pass are through (all of them at its end).
    virtual void step(qint64 done) = 0;
    // True once the operator asked to stop; it stays true for the run.
    virtual bool cancelled() const = 0;
    // The rendering has ended, finished or not (a progress window hides).
    virtual void end();
    // How the run ended, in a few quiet words ("Report cancelled.").
    virtual void showStatus(const QString& text);
};
