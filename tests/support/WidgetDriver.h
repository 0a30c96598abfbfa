#pragma once

// A window's controls found by object name and worked as a user works them.

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

template <typename T = QWidget> T* child(const QObject* window, const QString& name)
{
    T* found = window->findChild<T*>(name);
    if (!found)
        qWarning("no %s", qPrintable(name));
    return found;
}

// A radio button takes clicks on its indicator and text only, not on the blank
// rest of its row: it is clicked through its own click().
inline void click(QWidget* window, const QString& name)
{
    auto* button = child<QAbstractButton>(window, name);
    if (qobject_cast<QRadioButton*>(button))
        button->click();
    else
        QTest::mouseClick(button, Qt::LeftButton);
}

// Replaces a line box's text by typing.
inline void type(QWidget* window, const QString& name, const QString& text)
{
    auto* box = child<QLineEdit>(window, name);
    box->selectAll();
    QTest::keyClicks(box, text);
    if (text.isEmpty())
        box->clear();
}
