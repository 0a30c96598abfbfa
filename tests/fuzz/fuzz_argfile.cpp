// An argument file named by /@FILE, in a private folder. Its text sets what the
// same text sets on the command line, and a file whose line is rejected stays.
#include "CommandLinePrinter.h"
#include "FuzzCheck.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The reader takes at most 1000 characters; keep to what it reads whole.
    if (size > 1000)
        return -1;
    const QByteArray bytes = fuzzBytes(data, size);
    // A nested /@FILE may only name files in the private folder: no quotes, so
    // no "/" inside a value.
    const bool nested = bytes.contains('@');
    if (nested && bytes.contains('"'))
        return -1;
    if (bytes.contains('\0'))
        return -1;

    static QTemporaryDir folder;
    QDir::setCurrent(folder.path());
    for (const QString& name : QDir(folder.path()).entryList(QDir::Files))
        QFile::remove(name);
    writeFuzzFile(QStringLiteral("args.txt"), bytes);

    const ParsedLine fromFile = parseLine(QStringLiteral("/@FILE args.txt"));
    if (!fromFile.accepted)
        FUZZ_CHECK(QFile::exists(QStringLiteral("args.txt")),
                   QStringLiteral("rejected argument file was deleted: ") +
                       QString::fromUtf8(bytes));
    if (nested || bytes.isEmpty())
        return 0;
    const ParsedLine direct = parseLine(QString::fromUtf8(bytes));
    const QString difference = differenceBetween(fromFile, direct);
    FUZZ_CHECK(difference.isEmpty(),
               QStringLiteral("%1\n  %2").arg(QString::fromUtf8(bytes), difference));
    return 0;
}
