#ifndef HTMLTEXT_H
#define HTMLTEXT_H

#include <string>
#include <string_view>

namespace zlk {

// The text of an HTML mail body for the text/plain alternative that clients
// showing text only display: one line per table row, paragraph or break,
// the cells of a row two blanks apart, entities decoded, the head, style
// sheets and scripts left out. UTF-8 in and out.
class HtmlText
{
public:
    static std::string plainText(std::string_view html);
};

} // namespace zlk

#endif // HTMLTEXT_H
