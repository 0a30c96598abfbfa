#pragma once

#include "ReportElement.h"

#include <QStringList>
#include <QStringView>
#include <array>

// How wide characters are and how far apart lines are, in twips, for one kind
// of output. Pagination and line breaking use it, so every back end breaks a
// text exactly where its page layout said it would.
class ReportTextMetrics
{
public:
    virtual ~ReportTextMetrics() = default;

    // Distance from the top of one line of text to the top of the next.
    virtual int lineHeight(const ReportFont& font) const = 0;
    // The same for lines of this text: more where its characters come from a
    // taller fallback face than the layout's own.
    virtual int lineHeight(const ReportFont& font, QStringView) const { return lineHeight(font); }
    // Advance width of one code point (combining marks take none).
    virtual qreal advance(char32_t c, const ReportFont& font) const = 0;
    // Space kept free inside a text box on its left and right.
    virtual int horizontalInset() const { return 0; }
    // The advance of every character below U+0300 when all those are equally
    // wide, else 0.
    virtual qreal fixedAdvance() const { return 0; }

    qreal width(QStringView text, const ReportFont& font) const;

    // Breaks text into lines no wider than maxWidth: at line breaks, after
    // spaces where possible and inside a word where it must. Control
    // characters print as blanks; blanks at a break are dropped. Returns at
    // least one line; with maxLines > 0 at most that many. *cut, when given,
    // says whether a line was broken for the width or lines were left out (false:
    // every paragraph is one whole line, as it would be at any greater width).
    QStringList wrap(const QString& text, qreal maxWidth, const ReportFont& font,
                     int maxLines = 0, bool* cut = nullptr) const;
    // The same into lines, whose storage is reused where it is not shared.
    void wrap(const QString& text, qreal maxWidth, const ReportFont& font, int maxLines,
              QStringList& lines, bool* cut = nullptr) const;

private:
    // The advances of the ASCII characters in a font, asked of advance() once
    // per font: line breaking looks most characters up there.
    struct AsciiAdvances
    {
        ReportFont font;
        std::array<qreal, 128> advance{};
    };
    const qreal* asciiAdvances(const ReportFont& font) const;

    bool wrapParagraph(QStringView paragraph, qreal maxWidth, const ReportFont& font, int maxLines,
                       QStringList& lines, bool& cut) const;

    mutable QList<AsciiAdvances> m_asciiAdvances;
};
