#pragma once

#include <QString>

class QDialogButtonBox;
class QPushButton;
class QWidget;

// A dialog's OK and Cancel buttons in a button box, OK the default button.
// The dialog connects their clicks to its own handlers.
struct DialogButtons
{
    QDialogButtonBox* box = nullptr;
    QPushButton* ok = nullptr;
    QPushButton* cancel = nullptr;

    static DialogButtons make(QWidget* dialog, const QString& okName, const QString& okCaption,
                              const QString& cancelName);
};
