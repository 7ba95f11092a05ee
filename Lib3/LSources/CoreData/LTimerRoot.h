#pragma once

// The process-wide timer root the bootstrap makes second after the input records. Our timers keep
// their pending and expired lists in function statics that are never destroyed (so a timer that
// outlives static destruction still finds them), so the root owns nothing: it only marks the point
// in the start-up order where timers may be used. Main thread only.
class LTimerRoot {
public:
    LTimerRoot() = default;
    LTimerRoot(const LTimerRoot&) = delete;
    LTimerRoot& operator=(const LTimerRoot&) = delete;
};
