#pragma once

class CDimDefLibrary;

// Installs the dimmer document's window factories: the dimmer window, the universe-address window
// and the definition editor (over library, which outlives every window made). Main thread only.
void InstallDimWindowFactories(CDimDefLibrary* library);
