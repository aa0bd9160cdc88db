#pragma once

// A faded "(?)" whose tooltip shows text.
void HelpMarker(const char* text);
