#pragma once

#include <QDialog>
#include <QList>
#include <cstdint>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLineEdit;
class QPushButton;

// The report dialog ("Print"): report type, levels, date range, sort columns,
// mail format and mail size thresholds; prints, previews or mails one report
// through the report routine of the chosen type. Every choice is restored from
// the settings when the dialog is made and saved on every way of closing it.
//
// Controls are found by object name. The option arrays are numbered by index:
// optReportType0..3, optDate0..3 and optFormat0 (Text), optFormat1 (HTML).
// The others: chkStatus, chkWarning, chkError, chkFatal, txtDays1, txtDays2,
// DTPicker1, lblRange2, DTPicker2, cmbFirst, cmbSecond, cmbThird, txtAttach,
// txtZip, txtAbortAttach, cmdOK, cmdPreview, cmdEmail, cmdCancel.
class frmReport : public QDialog
{
    Q_OBJECT

public:
    explicit frmReport(QWidget* parent = nullptr);

    // Validates the dialog and runs the report routine of the chosen type with
    // the destination (0 print, 1 preview, 2 mail). A failed check shows its
    // message and runs nothing.
    void ReportOn(int16_t iPrintTo);

    // Every way of closing (Print, Email, Cancel, Escape, the close box) ends
    // here: the settings are saved, then the dialog closes.
    void done(int result) override;

private slots:
    void cmdOK_Click();
    void cmdPreview_Click();
    void cmdEmail_Click();
    void txtDays1_Change();
    void txtDays2_Change();
    void DTPicker_Change();
    void txtAttach_Change();

private:
    void buildControls();
    void Form_Load();
    void Form_Unload();
    // The checked index of an option array, or -1.
    static int selectedIndex(const QButtonGroup* group);
    static void selectIndex(QButtonGroup* group, int index);

    QButtonGroup* optReportType = nullptr;
    QCheckBox* chkStatus = nullptr;
    QCheckBox* chkWarning = nullptr;
    QCheckBox* chkError = nullptr;
    QCheckBox* chkFatal = nullptr;
    QButtonGroup* optDate = nullptr;
    QLineEdit* txtDays1 = nullptr;
    QLineEdit* txtDays2 = nullptr;
    QDateEdit* DTPicker1 = nullptr;
    QDateEdit* DTPicker2 = nullptr;
    QComboBox* cmbFirst = nullptr;
    QComboBox* cmbSecond = nullptr;
    QComboBox* cmbThird = nullptr;
    QButtonGroup* optFormat = nullptr;
    QLineEdit* txtAttach = nullptr;
    QLineEdit* txtZip = nullptr;
    QLineEdit* txtAbortAttach = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdPreview = nullptr;
    QPushButton* cmdEmail = nullptr;
    QPushButton* cmdCancel = nullptr;
};

// Shows the report dialog modally over the parent (the viewer's Print).
void ShowReportDialog(QWidget* parent = nullptr);
