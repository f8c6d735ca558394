// The end of a start-up benchmark's child program: its window's first paint.
#pragma once

class QWidget;

namespace quibo::bench {

// Once `window` has been painted for the first time (and everything painted
// with it has been flushed to the X server), prints
// "painted <CLOCK_MONOTONIC nanoseconds>" on stdout and ends the process with 0.
void EndAtFirstPaint(QWidget& window);

}  // namespace quibo::bench
