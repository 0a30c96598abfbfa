// scriptshots: writes the Summary report of entries in other scripts as a
// PDF and as HTML with its style sheet removed, for the pictures in docs/
// (not installed). Usage: scriptshots OUTPUT_FOLDER
#include "MemoryRowSource.h"
#include "ReportLayouts.h"
#include "ReportRenderer.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QRegularExpression>
#include <cstdio>

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QGuiApplication::setApplicationName(QStringLiteral("Velmora Audit Log"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: scriptshots OUTPUT_FOLDER\n");
        return 2;
    }
    const QDir out(QString::fromLocal8Bit(argv[1]));
    MemoryRowSource rows({"AutoIndex", "Level", "Error", "Description", "Application", "When",
                          "User", "Details", "Path", "Unattended", "Response", "TaskList"});
    const QList<QStringList> entries{
        {"Invoice 4711 sent to ACME Corp.", "Translator", "operator"},
        {"上海贸易有限公司 发票已拒收，请联系合作伙伴重新发送", "北京物流", "王小明"},
        {"株式会社東京物流 カタカナ受注", "横浜倉庫", "山田太郎"},
        {"شركة التجارة العربية: تم رفض الطلب", "الرياض", "محمد"},
        {"חברת משלוחים בע\"מ: ההזמנה נדחתה", "תל אביב", "דוד"},
        {"Cafe\u0301 Zu\u0308rich Ünïcödé ß", "Mu\u0308nchen", "Jose\u0301"},
        {"/srv/edi/out/📦.x12 sent ✅", "Dock 🚚", "ops 👍"},
    };
    int index = 101;
    for (const QStringList& e : entries)
        rows.addRow({index++, index % 4, 3000 + index, e[0], e[1], "2026-12-05 14:05:07", e[2], "",
                     "", 0, "", ""});
    ReportLayout layout = ReportLayouts::byName(QStringLiteral("dataReportSummary"));
    layout.setDataSource(&rows);
    layout.setMargins(720);
    layout.setTitle(QStringLiteral("Audit Log Summary"));
    layout.setLocale(QLocale(QLocale::English, QLocale::UnitedStates));
    if (!ReportRenderer(layout).writePdf(out.filePath(QStringLiteral("report-scripts.pdf"))))
        return 1;
    layout.setMargins(72);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!ReportRenderer(layout).writeHtml(&buffer))
        return 1;
    // As a mail client that drops style sheets shows it.
    QString html = QString::fromUtf8(buffer.data());
    html.remove(QRegularExpression(QStringLiteral("<style>.*</style>\\n?"),
                                   QRegularExpression::DotMatchesEverythingOption));
    QFile file(out.filePath(QStringLiteral("report-scripts.html")));
    if (!file.open(QIODevice::WriteOnly) || file.write(html.toUtf8()) < 0)
        return 1;
    return 0;
}
