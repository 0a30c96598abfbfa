#pragma once

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QTabWidget;
class QTableWidget;
class QTimeEdit;
class RuleListFrame;

// "Email Notification Property Details": edits one notification rule, the row
// of the list window's grid that holds its active cell. Load turns the row's
// fourteen texts into controls; OK validates and writes the texts back into
// the same row; Delete blanks the row's report type, address and subject;
// Cancel changes nothing. The store is never touched here.
class frmEmailNotificationDetails : public QDialog
{
    Q_OBJECT

public:
    frmEmailNotificationDetails(QTableWidget* fpSpread1, QWidget* parent = nullptr);

    // The enabling of the two error-number lists and of the two application lists.
    void UpdateErrorNumberListState();
    void UpdateApplicationListState();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    void cmdOK_Click();
    void cmdDelete_Click();
    void cmdCancel_Click();

private:
    QWidget* buildGeneralTab();
    QWidget* buildListTab(RuleListFrame* include, RuleListFrame* exclude,
                          const QStringList& notes);
    QWidget* buildTimingTab();
    void Form_Load();
    bool validate();
    QString cell(int field) const;
    void setCell(int field, const QString& text);

    QTableWidget* fpSpread1;
    int m_row; // 0-based row of the rule in fpSpread1
    bool m_loading = false;

    QTabWidget* SSTab1 = nullptr;
    QLineEdit* txtSendTo = nullptr;
    QLineEdit* txtSubject = nullptr;
    QCheckBox* chkStatus = nullptr;
    QCheckBox* chkWarning = nullptr;
    QCheckBox* chkError = nullptr;
    QCheckBox* chkFatal = nullptr;
    QButtonGroup* optAllOrSome = nullptr;
    QButtonGroup* optReportType = nullptr;
    QButtonGroup* optFormat = nullptr;
    QComboBox* cmbFirst = nullptr;
    QComboBox* cmbSecond = nullptr;
    QComboBox* cmbThird = nullptr;
    RuleListFrame* fraErrorNumber = nullptr;
    RuleListFrame* fraErrorNumberExclude = nullptr;
    RuleListFrame* fraApplication = nullptr;
    RuleListFrame* fraApplicationExclude = nullptr;
    QButtonGroup* optTiming = nullptr;
    QLineEdit* txtCheckSpanMinutes = nullptr;
    QTimeEdit* DTPicker1 = nullptr;
};
