#include "DialogButtons.h"

#include <QDialogButtonBox>
#include <QPushButton>

DialogButtons DialogButtons::make(QWidget* dialog, const QString& okName, const QString& okCaption,
                                  const QString& cancelName)
{
    DialogButtons buttons;
    buttons.ok = new QPushButton(okCaption, dialog);
    buttons.ok->setObjectName(okName);
    buttons.ok->setDefault(true);
    buttons.cancel = new QPushButton(QStringLiteral("Cancel"), dialog);
    buttons.cancel->setObjectName(cancelName);
    buttons.box = new QDialogButtonBox(dialog);
    buttons.box->addButton(buttons.ok, QDialogButtonBox::AcceptRole);
    buttons.box->addButton(buttons.cancel, QDialogButtonBox::RejectRole);
    return buttons;
}
