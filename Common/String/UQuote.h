#pragma once

class LStrBuf;

// Writes a text value so that the field reader and the token reader give it back.
struct UQuote {
    // Quoted (inner double quotes doubled) when the text holds white space or a double quote, or
    // when forced; otherwise unchanged. A null text writes nothing, or "" when forced.
    static void Append(LStrBuf& out, const char* text, bool force = false);
};
