#pragma once

#include <cstdint>

class LCharIn;
class LStrBuf;
class LString;

// Scanners over an LCharIn. "Space" is the C locale's white space; a scanner that stops on a
// byte puts it back.
class UCharIn {
public:
    static bool IsSpace(unsigned char c) { return c == ' ' || (c >= 9 && c <= 13); }
    static bool IsDigit(unsigned char c) { return c >= '0' && c <= '9'; }
    static bool IsAlpha(unsigned char c) { return (c | 0x20) >= 'a' && (c | 0x20) <= 'z'; }
    static bool IsLineEnd(unsigned char c) { return c == '\r' || c == '\n'; }

    // Skips white space, line ends included.
    static void SkipSpace(LCharIn& in);
    // Skips white space up to a line end.
    static void LineSpace(LCharIn& in);
    // Skips white space, then copies the rest without its trailing white space.
    static void StripSpace(LCharIn& in, LStrBuf& out);

    // A decimal integer after white space; true when a digit was read. The value (0 without
    // digits) is stored either way; it wraps instead of overflowing.
    static bool Read(LCharIn& in, int32_t& value);
    // The next white-space separated word; true when anything was copied.
    static bool Read(LCharIn& in, LStrBuf& out);
    static bool Read(LCharIn& in, LString& out);
    // As Read, without crossing a line end (the 64-bit form wraps at 64 bits).
    static bool LineRead(LCharIn& in, int32_t& value);
    static bool LineRead(LCharIn& in, int64_t& value);
    static bool LineRead(LCharIn& in, LStrBuf& out);
    // Copies up to a line end or the delimiter (consumed when consume is set) without trailing
    // white space; true when a non-space byte was copied.
    static bool LineReadUntil(LCharIn& in, LStrBuf& out, unsigned char delimiter, bool consume);
    // Copies up to the line end; true when anything was copied.
    static bool LineRest(LCharIn& in, LStrBuf& out);
    // Skips the rest of the line and one line end (CR, LF, CR LF or LF CR); true when one was passed.
    static bool LineNext(LCharIn& in);
    // Letters after white space on the line.
    static void ReadAlpha(LCharIn& in, LStrBuf& out);
    // The characters of a number (sign, digits, one point) after white space on the line.
    static void ReadNumber(LCharIn& in, LStrBuf& out);
    // The next byte after white space on the line; 0 at the end.
    static unsigned char ReadChar(LCharIn& in);
    // The rest of the line, then past its line end; true when text or a line end was read.
    static bool ReadRestOfLine(LCharIn& in, LString& out);

    // One field of a delimited line: after blanks on the line, a field opening with ' or " is read
    // by ReadQuotedBody and the rest up to the delimiter is skipped; any other field is read as
    // LineReadUntil does. The delimiter is consumed, a line end is not.
    static bool ReadQuotedField(LCharIn& in, LStrBuf& out, unsigned char delimiter, bool multiLine);
    // A quoted text: the opening quote is the closing one, doubled it stands for one, the other
    // quote kind is ordinary. A line end ends the reading (put back) unless multiLine is set, when
    // it is kept. Unquoted text reads as LineRest. True once a character was appended or a closing
    // quote was read.
    static bool ReadQuotedBody(LCharIn& in, LStrBuf& out, bool multiLine);
};
