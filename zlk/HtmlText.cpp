#include "HtmlText.h"

#include <cctype>
#include <cstdlib>

namespace zlk {

namespace {

std::string lowerName(std::string_view tag)
{
    std::string name;
    size_t i = tag.front() == '/' ? 1 : 0;
    for (; i < tag.size() && (std::isalnum(static_cast<unsigned char>(tag[i]))); ++i)
        name += char(std::tolower(static_cast<unsigned char>(tag[i])));
    return name;
}

void appendUtf8(std::string& out, unsigned long code)
{
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    if (code < 0x80) {
        out += char(code);
    } else if (code < 0x800) {
        out += char(0xC0 | code >> 6);
        out += char(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += char(0xE0 | code >> 12);
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    } else {
        out += char(0xF0 | code >> 18);
        out += char(0x80 | (code >> 12 & 0x3F));
        out += char(0x80 | (code >> 6 & 0x3F));
        out += char(0x80 | (code & 0x3F));
    }
}

// Appends the entity at html[i] ('&') decoded and returns its length; an
// unknown one is copied as it stands.
size_t appendEntity(std::string& out, std::string_view html, size_t i)
{
    const size_t end = html.find(';', i);
    if (end == std::string_view::npos || end - i > 10) {
        out += '&';
        return 1;
    }
    const std::string_view name = html.substr(i + 1, end - i - 1);
    static const struct
    {
        const char* name;
        const char* text;
    } named[] = {{"amp", "&"},   {"lt", "<"},   {"gt", ">"},
                 {"quot", "\""}, {"apos", "'"}, {"nbsp", "\xC2\xA0"}};
    for (const auto& entity : named) {
        if (name == entity.name) {
            out += entity.text;
            return end - i + 1;
        }
    }
    if (name.size() > 1 && name[0] == '#') {
        const bool hex = name[1] == 'x' || name[1] == 'X';
        const std::string digits(name.substr(hex ? 2 : 1));
        char* rest = nullptr;
        const unsigned long code = std::strtoul(digits.c_str(), &rest, hex ? 16 : 10);
        if (!digits.empty() && rest && *rest == '\0') {
            appendUtf8(out, code);
            return end - i + 1;
        }
    }
    out += '&';
    return 1;
}

void endLine(std::string& out)
{
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    if (!out.empty() && out.back() != '\n')
        out += '\n';
}

} // namespace

std::string HtmlText::plainText(std::string_view html)
{
    std::string out;
    std::string cell; // text of the open cell
    bool inCell = false;
    bool rowHasCell = false;
    int hidden = 0; // inside head, style, script or title
    size_t i = 0;
    while (i < html.size()) {
        const char c = html[i];
        if (c == '<') {
            const size_t close = html.find('>', i);
            if (close == std::string_view::npos)
                break;
            const std::string_view tag = html.substr(i + 1, close - i - 1);
            i = close + 1;
            if (tag.empty() || tag.front() == '!' || tag.front() == '?')
                continue;
            const bool closing = tag.front() == '/';
            const std::string name = lowerName(tag);
            if (name == "head" || name == "style" || name == "script" || name == "title") {
                hidden += closing ? (hidden > 0 ? -1 : 0) : 1;
            } else if (name == "td" || name == "th") {
                if (!closing) {
                    inCell = true;
                    cell.clear();
                } else if (inCell) {
                    inCell = false;
                    while (!cell.empty() && cell.back() == ' ')
                        cell.pop_back();
                    if (!cell.empty()) {
                        if (rowHasCell)
                            out += "  ";
                        out += cell;
                        rowHasCell = true;
                    }
                }
            } else if (name == "tr") {
                endLine(out);
                rowHasCell = false;
            } else if (name == "br") {
                (inCell ? cell : out) += inCell ? " " : "\n";
            } else if (name == "p" || name == "div" || name == "table" || name == "li" ||
                       (name.size() == 2 && name[0] == 'h' && std::isdigit(name[1]))) {
                endLine(out);
                if (closing && (name == "table" || name == "p"))
                    out += '\n';
            }
            continue;
        }
        if (hidden > 0) {
            ++i;
            continue;
        }
        std::string& target = inCell ? cell : out;
        if (c == '&') {
            i += appendEntity(target, html, i);
        } else if (c == '\r' || c == '\n' || c == '\t') {
            // Markup line breaks are not text; inside a cell they are blanks.
            if (inCell)
                target += ' ';
            ++i;
        } else {
            if (inCell || c != ' ' || (!out.empty() && out.back() != '\n'))
                target += c;
            ++i;
        }
    }
    endLine(out);
    // No run of blank lines, none at the start.
    std::string result;
    for (const char ch : out) {
        if (ch == '\n' && (result.empty() || (result.size() >= 2 && result.end()[-1] == '\n' &&
                                              result.end()[-2] == '\n')))
            continue;
        result += ch;
    }
    while (result.size() >= 2 && result.end()[-1] == '\n' && result.end()[-2] == '\n')
        result.pop_back();
    return result;
}

} // namespace zlk
