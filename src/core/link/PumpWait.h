#pragma once

namespace q48 {

// Waits that the device's pacing requires (the one-second waits, the failure pause, the
// reboot wait) keep their length but never freeze the window: events keep flowing, with
// user input held back so the waiting window cannot be driven meanwhile.
void pumpingWait(int milliseconds);

// Lets pending events run once, without user input.
void processPendingOnce();

} // namespace q48
