#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

// "Email Address": asks for the address a report is mailed to. The address
// goes back through MailToAddress: the typed text after OK, "" after Cancel;
// closing the window any other way (close box, Escape) leaves it as it was.
class frmEmailAddress : public QDialog
{
    Q_OBJECT

public:
    explicit frmEmailAddress(QWidget* parent = nullptr);

private slots:
    void cmdOK_Click();
    void cmdCancel_Click();

private:
    void Form_Load();

    QLabel* lblEmailAddress = nullptr;
    QLineEdit* txtEmailAddress = nullptr;
    QPushButton* cmdOK = nullptr;
    QPushButton* cmdCancel = nullptr;
};
