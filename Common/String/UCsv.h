#pragma once

class LCharIn;
class LStrBuf;

// Comma-separated fields.
struct UCsv {
    // Reads one field: a double quote toggles quoting (not copied), two in a row inside quotes
    // give one; outside quotes "," ends the field (consumed) and CR or LF ends it (put back).
    // True when the field ended at a comma or anything was copied.
    [[nodiscard]] static bool ReadField(LCharIn& in, LStrBuf& out);
};
