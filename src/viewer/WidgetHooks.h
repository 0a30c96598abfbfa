#pragma once

#include <functional>

class QWidget;

// The widget side of the program's hooks: message boxes, modal windows, the
// busy pointer and topmost windows. Every window goes through these, so tests
// can answer messages and drive modal windows without a person at the screen.

// Makes ShowMessage show a QMessageBox with the text, buttons, icon and caption.
void InstallWidgetMessageResponder();

// Shows a window modally and returns when it is hidden. The caller owns the
// window (usually a local variable).
using ModalHandler = std::function<void(QWidget* window)>;
void ShowModal(QWidget* window);
// Replaces what ShowModal does (tests drive and close the window); returns the
// previous handler. An empty handler restores the normal exec().
ModalHandler SetModalHandler(ModalHandler handler);

// Keeps a window above the others (the find and filter windows) and lets it go.
void MakeTopmost(QWidget* window);
void MakeNotTopmost(QWidget* window);

// The hourglass: shows the busy pointer for its lifetime. Nested guards stack.
class BusyCursor
{
public:
    BusyCursor();
    ~BusyCursor();
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};
