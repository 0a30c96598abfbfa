#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

// An invariant of a fuzz target: on failure, say which and abort so that
// libFuzzer keeps the input as a crash file.
#define FUZZ_CHECK(condition, what)                                                        \
    do {                                                                                   \
        if (!(condition)) {                                                                \
            std::fprintf(stderr, "invariant failed: %s\n  %s\n", #condition,              \
                         QString(what).toUtf8().constData());                              \
            std::abort();                                                                  \
        }                                                                                  \
    } while (0)

inline QByteArray fuzzBytes(const uint8_t* data, size_t size)
{
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}

inline QString fuzzText(const uint8_t* data, size_t size)
{
    return QString::fromUtf8(fuzzBytes(data, size));
}

// The input written whole to path, replacing what was there.
inline void writeFuzzFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                   file.write(bytes) == bytes.size(),
               QStringLiteral("cannot write ") + path);
}
