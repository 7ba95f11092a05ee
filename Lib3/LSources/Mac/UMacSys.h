#pragma once

struct UMacSys {
    // The system alert sound; silent when headless.
    static void Beep();
};
