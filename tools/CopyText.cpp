#include "CopyText.h"

void CopyText::field(const unsigned char* text, std::size_t bytes)
{
    if (m_rowStarted)
        m_data += '\t';
    m_rowStarted = true;
    if (!text) {
        m_data += "\\N";
        return;
    }
    const unsigned char* end = text + bytes;
    while (text < end) {
        // The run up to the next byte that needs an escape goes in at once.
        const unsigned char* plain = text;
        while (plain < end && *plain != '\\' && *plain != '\t' && *plain != '\n' && *plain != '\r')
            ++plain;
        m_data.append(reinterpret_cast<const char*>(text), static_cast<std::size_t>(plain - text));
        if (plain == end)
            break;
        switch (*plain) {
        case '\\':
            m_data += "\\\\";
            break;
        case '\t':
            m_data += "\\t";
            break;
        case '\n':
            m_data += "\\n";
            break;
        default:
            m_data += "\\r";
            break;
        }
        text = plain + 1;
    }
}

void CopyText::endRow()
{
    m_data += '\n';
    m_rowStarted = false;
}
