// Default buttons that do not pulse.
#pragma once

namespace platform {

// Windows' native style makes the default button of the active form pulse: it repaints the
// button over and over for as long as the form only waits for the operator (under Wine the
// tool and its server then used about 12 % of a processor on the login alone). From this call on,
// for the whole program, such a pulse is held at its first frame, which is the button's usual
// default look; nothing else of the style changes. Call once the application object exists.
void keepDefaultButtonsStill();

} // namespace platform
