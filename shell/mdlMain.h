#pragma once

// The viewer's entry procedure: loads the settings dialog hidden, shows the
// main window, loads the settings and lists, then lives in the event loop.
int Main(int argc, char** argv);
