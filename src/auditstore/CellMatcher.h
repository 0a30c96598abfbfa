#pragma once

#include <QByteArrayView>
#include <QString>

// Find's rule for one cell: the cell's text, trimmed of blanks, contains the
// search text (or, for a whole-cell search, equals it), with letter case
// folded unless it must match. The search text is trimmed once here.
//
// Stored texts are shown on one line (line breaks as blanks); matchesStored
// applies the rule to that line straight from the database's UTF-8 bytes, so
// a million cells need no QString each: ASCII text (nearly all of an audit
// log) is compared byte by byte, anything else goes the QString way.
class CellMatcher
{
public:
    CellMatcher(const QString& text, bool matchCase, bool wholeCell);

    bool isEmpty() const { return m_text.isEmpty(); }
    QString text() const { return m_text; }
    bool matchCase() const { return m_matchCase; }
    bool wholeCell() const { return m_wholeCell; }
    bool hasBlank() const { return m_hasBlank; }

    // The rule on the text the grid shows.
    bool matches(QStringView shown) const;
    // The rule on a stored text as the grid shows it (on one line).
    bool matchesStored(QByteArrayView utf8) const;

private:
    bool matchesAscii(QByteArrayView bytes) const;

    QString m_text;
    QByteArray m_ascii; // the search text when it is ASCII (folded unless matchCase)
    bool m_matchCase;
    bool m_wholeCell;
    bool m_hasBlank; // any white space, a line break too
};
