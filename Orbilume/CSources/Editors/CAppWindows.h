#pragma once

class CAppPrefs;

// The application's own small windows as the application reaches them: the start-up window, the
// shared text-edit window, the video devices window, the output adjustment window and the view preferences behind the
// application-window factories, and the About box and view preferences behind the main loop's
// hooks. Main thread only.
class CAppWindows {
public:
    // Installs the factories and hooks (before the application runs).
    static void Install();
    // After the preferences are read: the view preferences take their set ('vwpr') and become the
    // window manager's sender and the text styles' font look-up.
    static void Start(CAppPrefs* prefs);
    // Before the preferences go: the view preferences drop their set and both roles.
    static void Stop();
};
