#pragma once

class QWidget;

// Sizes and places the viewer window as SaveViewerStateAndEnd left it:
// maximised, or at the stored size and position (twips). Without stored values
// it takes its design size (at most nine tenths of the screen) centred on the
// screen; a position that would leave it out of reach is centred instead.
void RestoreViewerPlacement(QWidget* viewer);
