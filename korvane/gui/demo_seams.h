// For the demonstration and the pictures of the documentation, outside the
// program's own start: KORVANE_SCREENSHOT=FILE saves a picture of the window
// after KORVANE_SCREENSHOT_DELAY seconds (default 3), then quits as
// "Quitter" does; KORVANE_SCREENSHOT_REPORT=1 takes the energy report of
// every entry instead. KORVANE_DEMO_WAKE=ENTRY presses that entry's map
// button 5 s after the start and answers "ON", as the user would.
#pragma once

namespace korvane {

class TForm1;
// Arms what the environment asks for; nothing when it asks nothing.
void DemoSeamsIfAsked(TForm1& form);

}  // namespace korvane
