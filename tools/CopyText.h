#pragma once

#include <cstddef>
#include <string>

// Rows in the text format of PostgreSQL's COPY: fields separated by tabs,
// rows by newlines, NULL as \N; a backslash, tab, newline or carriage return
// inside a field is escaped, so any text goes through unchanged.
class CopyText
{
public:
    // A field of bytes; nullptr is NULL.
    void field(const unsigned char* text, std::size_t bytes);
    void endRow();

    const std::string& data() const { return m_data; }
    std::size_t size() const { return m_data.size(); }
    void clear() { m_data.clear(); }

private:
    std::string m_data;
    bool m_rowStarted = false;
};
