#include "frmEmailAddress.h"

#include "AppState.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

frmEmailAddress::frmEmailAddress(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmEmailAddress"));
    setWindowTitle(QStringLiteral("Email Address"));

    lblEmailAddress = new QLabel(QStringLiteral("Email Report To:"), this);
    lblEmailAddress->setObjectName(QStringLiteral("lblEmailAddress"));
    txtEmailAddress = new QLineEdit(this);
    txtEmailAddress->setObjectName(QStringLiteral("txtEmailAddress"));
    txtEmailAddress->setMinimumWidth(280);
    lblEmailAddress->setBuddy(txtEmailAddress);

    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblEmailAddress);
    layout->addWidget(txtEmailAddress);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, &frmEmailAddress::cmdOK_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmEmailAddress::cmdCancel_Click);
    Form_Load();
}

void frmEmailAddress::Form_Load()
{
    // The address given last in this run, empty the first time.
    txtEmailAddress->setText(MailToAddress);
}

void frmEmailAddress::cmdOK_Click()
{
    // Exactly as typed: the mail library judges the address.
    MailToAddress = txtEmailAddress->text();
    accept();
}

void frmEmailAddress::cmdCancel_Click()
{
    MailToAddress.clear();
    reject();
}
