#pragma once

#include <memory>

class QPrintPreviewDialog;
class QWidget;
class ReportLayout;

// The on-screen preview of a bound layout: a print preview dialog, maximised
// and modal, titled with the layout's caption (its title when it has none).
// Pages are drawn by the painter back end whenever the dialog asks, also when
// the operator prints from it. When the layout's progress is cancelled while
// pages are drawn, the dialog closes (unseen, when it was not up yet). The
// layout must outlive the dialog.
class ReportPreview
{
public:
    static std::unique_ptr<QPrintPreviewDialog> create(ReportLayout& layout,
                                                       QWidget* parent = nullptr);
    // Creates the dialog and shows it through the program's modal-window
    // function; returns when it is closed.
    static void show(ReportLayout& layout, QWidget* parent = nullptr);
};
