#include "ReportLayouts.h"

namespace {

using A = ReportAlignment;
using E = ReportElement;

const ReportFont Regular;                                      // the layout default, 8.25 pt
const ReportFont Medium{QStringLiteral("Arial"), 9.75, false}; // elements with their own font
const ReportFont MediumBold{QStringLiteral("Arial"), 9.75, true};
const ReportFont Heading9{QStringLiteral("Arial"), 9, false};
const ReportFont TitleFont{QStringLiteral("Arial"), 12, true};

const QString LongDate = QStringLiteral("mm/dd/yyyy hh:nn AM/PM");
const QString ShortDate = QStringLiteral("m/d/yy h:nn AM/PM");
const QString GeneralDate = QStringLiteral("General Date");
const QString YesNo = QStringLiteral("Yes/No");

E withFormat(E e, const QString& format)
{
    e.format = format;
    return e;
}

E growing(E e)
{
    e.canGrow = true;
    return e;
}

void setEmptyBands(ReportLayout& layout, int pageFooterHeight)
{
    layout.band(ReportBand::ReportHeader).height = 0;
    layout.band(ReportBand::PageFooter).height = pageFooterHeight;
    layout.band(ReportBand::ReportFooter).height = 0;
}

// The boxed rows of the summary: vertical rules at these edges.
const int SummaryRules[] = {120, 960, 1455, 2055, 5175, 7740, 9760, 10560};

void addSummaryRules(ReportBand& band, int top)
{
    for (int left : SummaryRules)
        band.elements.append(E::verticalLine(QString(), left, top, 240));
}

} // namespace

namespace ReportLayouts {

ReportLayout dataReportSummary()
{
    ReportLayout layout(QStringLiteral("dataReportSummary"));
    setEmptyBands(layout, 0);

    ReportBand& header = layout.band(ReportBand::PageHeader);
    header.height = 841;
    header.elements = {
        E::label("Label5", "%d %t", 96, 144, 2040, 240, A::Left, Medium),
        E::label("Label4", "%i", 2880, 144, 4320, 240, A::Center, TitleFont),
        E::label("Label6", "Page %p of %P", 8520, 120, 2040, 240, A::Right, Medium),
        E::label("Label19", "AutoIndex", 121, 600, 838, 240, A::Center, Heading9),
        E::label("Label2", "Level", 961, 600, 493, 240, A::Center),
        E::label("Label3", "Error", 1456, 600, 598, 240, A::Center),
        E::label("Label7", "Description", 2056, 600, 3118, 240, A::Center),
        E::label("Label8", "Application", 5176, 600, 2563, 240, A::Center),
        E::label("Label9", "When", 7741, 600, 2018, 240, A::Center),
        E::label("Label10", "User", 9761, 600, 798, 240, A::Center),
        E::horizontalLine(QString(), 120, 600, 10440),
        E::horizontalLine(QString(), 120, 840, 10440),
    };
    addSummaryRules(header, 600);

    ReportBand& detail = layout.band(ReportBand::Detail);
    detail.height = 269;
    detail.elements = {
        E::textBox("Text1", "AutoIndex", 121, 0, 838, 240, A::Center),
        E::textBox("Text8", "Level", 961, 0, 493, 240, A::Center),
        E::textBox("Text3", "Error", 1456, 0, 598, 240, A::Center),
        growing(E::textBox("Text4", "Description", 2160, 0, 3014, 240, A::Left)),
        growing(E::textBox("Text5", "Application", 5280, 0, 2459, 240, A::Left)),
        withFormat(growing(E::textBox("Text6", "When", 7741, 0, 2018, 240, A::Right)), GeneralDate),
        E::textBox("Text7", "User", 9840, 0, 719, 240, A::Left),
    };
    addSummaryRules(detail, 0);
    detail.elements.append(E::horizontalLine(QString(), 120, 240, 10440));
    return layout;
}

ReportLayout dataReportSummaryDetail()
{
    ReportLayout layout(QStringLiteral("dataReportSummaryDetail"));
    layout.setErrorPrefix(QStringLiteral("Audit Summary Report Error "));
    setEmptyBands(layout, 0);

    ReportBand& header = layout.band(ReportBand::PageHeader);
    header.height = 465;
    header.elements = {
        E::label("Label5", "%d %t", 480, 120, 2040, 240, A::Left),
        E::label("Label4", "%i", 3120, 144, 4320, 240, A::Center, TitleFont),
        E::label("Label6", "Page %p of %P", 8040, 120, 2040, 240, A::Right),
    };

    ReportBand& detail = layout.band(ReportBand::Detail);
    detail.height = 1095;
    detail.keepTogether = true;
    detail.elements = {
        E::horizontalLine("Line2", 120, 0, 9840),
        E::label("Label3", "Error:", 720, 120, 720, 240, A::Right, MediumBold),
        E::textBox("Text3", "Error", 1560, 120, 1320, 240, A::Left, MediumBold),
        E::label("Label19", "AutoIndex:", 3240, 120, 1080, 240, A::Right, MediumBold),
        E::textBox("Text1", "AutoIndex", 4440, 120, 1320, 240),
        E::label("Label7", "Description:", 240, 360, 1200, 240, A::Right, MediumBold),
        growing(E::textBox("Text4", "Description", 1560, 360, 8400, 240, A::Left, MediumBold)),
        E::label("Label8", "Application:", 120, 600, 1320, 240, A::Right, MediumBold),
        growing(E::textBox("Text5", "Application", 1560, 600, 4200, 240)),
        E::label("Label10", "User:", 6600, 600, 600, 240, A::Right, MediumBold),
        E::textBox("Text7", "User", 7320, 600, 2640, 240),
        E::label("Label9", "When:", 720, 840, 720, 240, A::Right, MediumBold),
        withFormat(growing(E::textBox("Text6", "When", 1560, 840, 2760, 240)), LongDate),
        E::label("Label2", "Level:", 6480, 840, 735, 240, A::Right, MediumBold),
        E::textBox("Text8", "Level", 7320, 840, 1320, 240),
    };
    return layout;
}

ReportLayout datareportAudit()
{
    ReportLayout layout(QStringLiteral("datareportAudit"));
    layout.setErrorPrefix(QStringLiteral("Audit Report Error "));
    setEmptyBands(layout, 15);

    ReportBand& header = layout.band(ReportBand::PageHeader);
    header.height = 1320;
    header.elements = {
        E::label("Label1", "%d %t", 120, 24, 2064, 240, A::Left),
        E::label("Label2", "%i", 2904, 24, 4320, 240, A::Center, TitleFont),
        E::label("Label3", "Page %p of %P", 7944, 24, 2040, 240, A::Right),
        E::label("Label4", "AutoIndex", 120, 360, 1560, 240),
        E::label("Label5", "When", 120, 600, 1560, 240),
        E::label("Label6", "Application", 120, 840, 1560, 240),
        E::label("Label7", "User", 120, 1080, 1560, 240),
        E::label("Label8", "Error", 1680, 600, 1080, 240, A::Center),
        E::label("Label9", "Level", 1680, 840, 1080, 240, A::Center),
        E::label("Label10", "Unattended", 1680, 1080, 1080, 240, A::Center),
        E::label("Label11", "Description", 2760, 600, 7200, 240),
        E::label("Label12", "Details", 2760, 840, 7200, 240),
        E::label("Label13", "Path", 2760, 1080, 7200, 240),
    };

    ReportBand& detail = layout.band(ReportBand::Detail);
    detail.height = 1080;
    detail.keepTogether = true;
    detail.elements = {
        E::horizontalLine("Line5", 120, 120, 9840),
        E::textBox("Text4", "AutoIndex", 120, 120, 1800, 240),
        withFormat(E::textBox("Text1", "When", 120, 360, 1800, 240), ShortDate),
        E::textBox("Text6", "Application", 120, 600, 1800, 240),
        E::textBox("Text10", "User", 120, 840, 1800, 240),
        E::textBox("Text2", "Error", 1920, 360, 600, 240, A::Center, MediumBold),
        E::textBox("Text3", "Level", 1920, 600, 600, 240, A::Center),
        withFormat(E::textBox("Text12", "Unattended", 1920, 840, 600, 240, A::Center), YesNo),
        growing(E::textBox("Text5", "Description", 2760, 360, 7200, 240, A::Left, MediumBold)),
        growing(E::textBox("Text8", "Details", 2760, 600, 7200, 240)),
        growing(E::textBox("Text9", "Path", 2760, 840, 7200, 240)),
    };
    return layout;
}

ReportLayout datareportAuditDetail()
{
    ReportLayout layout(QStringLiteral("datareportAuditDetail"));
    layout.setErrorPrefix(QStringLiteral("Audit Report Error "));
    setEmptyBands(layout, 15);

    ReportBand& header = layout.band(ReportBand::PageHeader);
    header.height = 360;
    header.elements = {
        E::label("Label1", "%d %t", 120, 24, 2064, 240, A::Left),
        E::label("Label2", "%i", 2904, 24, 4320, 240, A::Center, TitleFont),
        E::label("Label3", "Page %p of %P", 7944, 24, 2040, 240, A::Right),
    };

    ReportBand& detail = layout.band(ReportBand::Detail);
    detail.height = 1920;
    detail.keepTogether = true;
    detail.elements = {
        E::horizontalLine("Line5", 120, 0, 9840),
        E::label("Label8", "Error:", 840, 120, 600, 240, A::Right),
        E::textBox("Text2", "Error", 1560, 120, 1320, 240, A::Left, MediumBold),
        E::label("Label4", "AutoIndex:", 3240, 120, 1080, 240, A::Right),
        E::textBox("Text4", "AutoIndex", 4440, 120, 1320, 240),
        E::label("Label11", "Description:", 240, 360, 1200, 240, A::Right),
        growing(E::textBox("Text5", "Description", 1560, 360, 8400, 240, A::Left, MediumBold)),
        E::label("Label12", "Details:", 600, 600, 840, 240, A::Right),
        growing(E::textBox("Text8", "Details", 1560, 600, 8400, 240)),
        E::label("Label13", "Path:", 720, 840, 720, 240, A::Right),
        growing(E::textBox("Text9", "Path", 1560, 840, 8400, 240)),
        E::label("Label6", "Application:", 240, 1080, 1200, 240, A::Right),
        E::textBox("Text6", "Application", 1560, 1080, 4200, 240),
        E::label("Label7", "User:", 6600, 1080, 600, 240, A::Right),
        E::textBox("Text10", "User", 7320, 1080, 2640, 240),
        E::label("Label5", "When:", 720, 1440, 720, 240, A::Right),
        withFormat(E::textBox("Text1", "When", 1560, 1440, 2760, 240), LongDate),
        E::label("Label14", "Response:", 6240, 1440, 960, 240, A::Right),
        E::textBox("Text7", "Response", 7320, 1440, 1440, 240),
        E::label("Label9", "Level:", 840, 1680, 600, 240, A::Right),
        E::textBox("Text3", "Level", 1560, 1680, 600, 240),
        E::label("Label15", "Task List", 3480, 1680, 840, 240, A::Right),
        E::textBox("Text11", "TaskList", 4440, 1680, 1440, 240),
        E::label("Label10", "Unattended:", 6120, 1680, 1080, 240, A::Right),
        withFormat(E::textBox("Text12", "Unattended", 7320, 1680, 600, 240), YesNo),
    };
    return layout;
}

ReportLayout byName(const QString& name)
{
    if (name == QLatin1String("dataReportSummary"))
        return dataReportSummary();
    if (name == QLatin1String("dataReportSummaryDetail"))
        return dataReportSummaryDetail();
    if (name == QLatin1String("datareportAudit"))
        return datareportAudit();
    if (name == QLatin1String("datareportAuditDetail"))
        return datareportAuditDetail();
    return ReportLayout(name);
}

} // namespace ReportLayouts
