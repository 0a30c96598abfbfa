// The HTML row scanner. The first two bytes give a padding that moves the rest
// across the scanner's block boundaries; a file holds report rows exactly when
// the row marker occurs in it.
#include "FuzzCheck.h"
#include "HtmlRowScanner.h"
#include "zlk.h"

#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 4000)
        return -1;
    const int shift = (data[0] << 8 | data[1]) % 200;
    QByteArray content(shift == 0 ? 0 : 65536 - shift, 'x');
    content.append(fuzzBytes(data + 2, size - 2));

    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("report.html"));
    writeFuzzFile(path, content);

    const bool rows = content.contains(zlk::HtmlRowScanner::RowMarker);
    FUZZ_CHECK((ZLKIsHTMLEmpty(path.toUtf8().constData()) == 0) == rows,
               QStringLiteral("marker %1 but scanner says otherwise, shift %2")
                   .arg(rows ? "present" : "absent")
                   .arg(shift));
    return 0;
}
