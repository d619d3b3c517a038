// The program's start-up order.
#pragma once

namespace app {

// Sets the program's identity, shows the splash for two seconds, runs the login (which
// opens the port), reads the controller's identity block, runs the calibration workbench
// until the operator leaves it, and shuts the program down.
int Main();

} // namespace app
