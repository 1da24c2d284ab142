#pragma once
// Start-up measurement: with KTX_STARTUP_PROBE set in the environment, the
// first complete paint of a window prints the wall clock (nanoseconds since
// the epoch) on stdout and quits the application. bench/startup-ratio.sh
// compares that with the moment it started the program.
class QWidget;

namespace ktx {

// Does nothing unless KTX_STARTUP_PROBE is set.
void quitAfterFirstPaintWhenProbed(QWidget* window);

}  // namespace ktx
