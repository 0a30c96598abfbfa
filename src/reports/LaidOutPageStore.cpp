#include "LaidOutPageStore.h"

#include "PrivateTempFolder.h"
#include "ReportLayout.h"
#include "ReportOutputError.h"
#include "ReportRenderer.h"

#include <QTemporaryFile>
#include <cerrno>
#include <cstring>

namespace {

// Records are kept in memory up to this size, then written out.
constexpr qsizetype SpillSize = 4 * 1024 * 1024;
// Read back in blocks of at least this size.
constexpr qsizetype ReadSize = 1024 * 1024;

} // namespace

LaidOutPageStore::LaidOutPageStore(const ReportLayout& layout) : m_layout(layout)
{
    m_buffer.reserve(SpillSize + 64 * 1024);
}

LaidOutPageStore::~LaidOutPageStore() = default;

void LaidOutPageStore::putInt(int value)
{
    m_buffer.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void LaidOutPageStore::putInt64(qint64 value)
{
    m_buffer.append(reinterpret_cast<const char*>(&value), sizeof value);
}

// UTF-16 as it is: two bytes a unit, so every record keeps an even length
// and the texts can be read back in place.
void LaidOutPageStore::putText(const QString& text)
{
    putInt(int(text.size()));
    m_buffer.append(reinterpret_cast<const char*>(text.constData()), text.size() * 2);
}

void LaidOutPageStore::beginRecord(Record::Type type)
{
    m_recordStart = m_buffer.size();
    putInt(0); // the record's length, filled in by endRecord()
    putInt(type);
}

bool LaidOutPageStore::endRecord()
{
    const int length = int(m_buffer.size() - m_recordStart);
    std::memcpy(m_buffer.data() + m_recordStart, &length, sizeof length);
    if (m_buffer.size() < SpillSize)
        return true;
    return spill();
}

bool LaidOutPageStore::spill()
{
    if (m_error.isError())
        return false;
    if (!m_file) {
        QString reason;
        const QString folder = PrivateTempFolder::path(&reason);
        if (folder.isEmpty())
            return fail(ReportErrorNumber::FileAccess, reason);
        m_file = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/pages-XXXXXX"));
        if (!m_file->open()) {
            const AuditError error =
                ReportOutputError::ofOpen(m_file.get(), m_file->fileTemplate());
            return fail(error.number, error.description);
        }
    }
    errno = 0;
    if (m_file->write(m_buffer) != m_buffer.size()) {
        const AuditError error = ReportOutputError::ofWrite(m_file.get(), errno);
        return fail(error.number, error.description);
    }
    m_buffer.resize(0);
    return true;
}

bool LaidOutPageStore::addBeginPage(int page)
{
    beginRecord(Record::BeginPage);
    putInt(page);
    return endRecord();
}

bool LaidOutPageStore::addEndPage()
{
    beginRecord(Record::EndPage);
    return endRecord();
}

bool LaidOutPageStore::addBand(const LaidOutBand& band, int originY, int sliceTop, int sliceBottom)
{
    // Sized first and written in place: this runs once per row.
    qsizetype size = 8 * sizeof(int);
    for (const LaidOutElement& item : band.elements) {
        size += 6 * sizeof(int);
        for (const QString& line : item.lines)
            size += sizeof(int) + line.size() * 2;
    }
    const qsizetype start = m_buffer.size();
    m_buffer.resize(start + size);
    char* out = m_buffer.data() + start;
    auto put = [&out](int value) {
        std::memcpy(out, &value, sizeof value);
        out += sizeof value;
    };
    put(int(size));
    put(Record::Band);
    put(band.band->kind);
    put(originY);
    put(sliceTop);
    put(sliceBottom);
    put(band.height);
    put(int(band.elements.size()));
    const ReportElement* first = band.band->elements.constData();
    for (const LaidOutElement& item : band.elements) {
        put(int(item.element - first));
        put(item.top);
        put(item.height);
        put(item.lineHeight);
        put(item.inset);
        put(int(item.lines.size()));
        for (const QString& line : item.lines) {
            put(int(line.size()));
            std::memcpy(out, line.constData(), line.size() * 2);
            out += line.size() * 2;
        }
    }
    return m_buffer.size() < SpillSize || spill();
}

bool LaidOutPageStore::addDeferred(ReportBand::Kind kind, const QList<QString>& texts, int page,
                                   int originY, int sliceTop, int sliceBottom, qint64 offset,
                                   qint64 length, int rows)
{
    beginRecord(Record::Deferred);
    putInt(kind);
    putInt(page);
    putInt(originY);
    putInt(sliceTop);
    putInt(sliceBottom);
    putInt64(offset);
    putInt64(length);
    putInt(rows);
    putInt(int(texts.size()));
    for (const QString& text : texts)
        putText(text);
    return endRecord();
}

bool LaidOutPageStore::rewind()
{
    m_readPos = 0;
    m_fromFile = bool(m_file);
    if (!m_fromFile)
        return !m_error.isError();
    if (!spill())
        return false;
    if (!m_file->seek(0))
        return fail(ReportErrorNumber::DeviceError, m_file->errorString());
    return true;
}

// Makes sure that needed bytes from m_readPos on are in the buffer.
bool LaidOutPageStore::fill(qsizetype needed)
{
    if (m_buffer.size() - m_readPos >= needed)
        return true;
    if (!m_fromFile)
        return false;
    m_buffer.remove(0, m_readPos);
    m_readPos = 0;
    const qsizetype have = m_buffer.size();
    const qsizetype want = std::max(needed - have, ReadSize);
    m_buffer.resize(have + want);
    const qint64 n = m_file->read(m_buffer.data() + have, want);
    if (n < 0) {
        m_buffer.resize(have);
        return fail(ReportErrorNumber::DeviceError, m_file->errorString());
    }
    m_buffer.resize(have + n);
    return m_buffer.size() >= needed;
}

qint64 LaidOutPageStore::takeInt64()
{
    qint64 value = 0;
    std::memcpy(&value, m_buffer.constData() + m_readPos, sizeof value);
    m_readPos += sizeof value;
    return value;
}

int LaidOutPageStore::takeInt()
{
    int value = 0;
    std::memcpy(&value, m_buffer.constData() + m_readPos, sizeof value);
    m_readPos += sizeof value;
    return value;
}

// In place: valid until the buffer moves on (the next record).
QString LaidOutPageStore::takeText()
{
    const int length = takeInt();
    const auto* data = reinterpret_cast<const QChar*>(m_buffer.constData() + m_readPos);
    m_readPos += qsizetype(length) * 2;
    return QString::fromRawData(data, length);
}

bool LaidOutPageStore::next(Record* record)
{
    if (m_error.isError() || !fill(sizeof(int)))
        return false;
    int length = 0;
    std::memcpy(&length, m_buffer.constData() + m_readPos, sizeof length);
    if (length < 2 * int(sizeof(int)) || !fill(length))
        return fail(ReportErrorNumber::DeviceError,
                    QStringLiteral("The laid-out pages could not be read back."));
    takeInt();
    record->type = Record::Type(takeInt());
    switch (record->type) {
    case Record::BeginPage:
        record->page = takeInt();
        break;
    case Record::EndPage:
        break;
    case Record::Band: {
        record->kind = ReportBand::Kind(takeInt());
        record->originY = takeInt();
        record->sliceTop = takeInt();
        record->sliceBottom = takeInt();
        const ReportBand& band = m_layout.band(record->kind);
        LaidOutBand& out = record->band;
        out.band = &band;
        out.height = takeInt();
        out.elements.resize(takeInt());
        for (LaidOutElement& item : out.elements) {
            item.element = &band.elements.at(takeInt());
            item.top = takeInt();
            item.height = takeInt();
            item.lineHeight = takeInt();
            item.inset = takeInt();
            item.lines.resize(takeInt());
            for (QString& line : item.lines)
                line = takeText();
        }
        break;
    }
    case Record::Deferred:
        record->kind = ReportBand::Kind(takeInt());
        record->page = takeInt();
        record->originY = takeInt();
        record->sliceTop = takeInt();
        record->sliceBottom = takeInt();
        record->offset = takeInt64();
        record->length = takeInt64();
        record->rows = takeInt();
        record->texts.resize(takeInt());
        for (QString& text : record->texts)
            text = takeText();
        break;
    }
    return true;
}

bool LaidOutPageStore::fail(int number, const QString& description)
{
    if (!m_error.isError())
        m_error = {number, description};
    return false;
}
