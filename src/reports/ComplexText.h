#pragma once

#include <QtGlobal>

// Characters that a line cannot simply be drawn with, glyph after glyph.
namespace ComplexText {

// Whether c needs more than its own glyph: marks, invisible controls,
// right-to-left and joining scripts. A line holding one is shaped.
bool needsShaping(char32_t c);

} // namespace ComplexText
