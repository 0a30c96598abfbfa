#pragma once

#include <QDialog>
#include <array>

class AuditView;
class QLabel;
class QPushButton;
class QWidget;

// One audit entry in full: the viewer's current entry, in eleven read-only
// boxes. Delete removes that entry from the viewer's record set after asking.
class frmDetails : public QDialog
{
    Q_OBJECT

public:
    explicit frmDetails(QWidget* parent = nullptr);
    frmDetails(AuditView& view, QWidget* parent);

    static constexpr int FieldCount = 11;
    // The column shown in box i (0 "Error" ... 10 "Details").
    static QString fieldOf(int index);

    void Form_Load();
    void cmdDelete_Click();
    void cmdClose_Click();

private:
    void showEntry();

    AuditView& m_view;
    std::array<QWidget*, FieldCount> m_txtField{};
    QPushButton* m_cmdDelete = nullptr;
    QPushButton* m_cmdClose = nullptr;
};
