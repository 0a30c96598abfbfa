#pragma once

class QWidget;

// Saves the viewer's window state, the date of this exit and, for a normal
// window, its placement; then ends the program. A minimised window saves
// nothing; a maximised one keeps the placement saved earlier. With no viewer
// window it only ends the program.
void SaveViewerStateAndEnd();

// The same for a given window (the viewer passes itself).
void SaveViewerStateAndEnd(const QWidget* viewer);
