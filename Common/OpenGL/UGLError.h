#pragma once

// Checks of the GL error state around calls that can refuse (storage of an unsupported size).
class UGLError {
public:
    // Forgets errors raised before.
    static void Clear();
    // True when no error was raised since the last Clear.
    static bool Ok();
};
