#pragma once

#include <QDialog>

class QLabel;

// The about box: product name, description, version, copyright and trademark,
// read from the program's version record when it opens; centred on the screen.
class frmAbout : public QDialog
{
    Q_OBJECT

public:
    explicit frmAbout(QWidget* parent = nullptr);

    void Form_Load();
    void OK_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLabel* m_titles[3] = {};
    QLabel* m_copyright[2] = {};
};
