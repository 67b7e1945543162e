#pragma once

// Whether the toolkit animates transitions (fades, slides). Programs that take pictures of the
// screen switch them off, as does the environment variable QUORVEL_NO_ANIMATIONS=1. The order of
// appear and disappear calls is the same either way.
bool animationsEnabled();
void setAnimationsEnabled(bool enabled);

class QWidget;

// Fades a freshly shown widget in over durationMs when animations are on; the widget is fully
// usable at once either way.
void fadeIn(QWidget* widget, int durationMs);
