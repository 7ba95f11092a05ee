#pragma once

class LCharIn;
class LStrBuf;

// Reads the value of one "name=value;" pair into out (reset first). Blanks before the value are
// skipped. A value opening with a single or double quote runs to the matching quote (with escapes
// set, a backslash takes the next byte literally), and the rest up to the stop byte is skipped;
// any other value runs to the stop byte without its trailing blanks. The stop byte is consumed; a
// line end (CR or LF) is not. True when a quoted value, or a non-empty plain one, was read.
[[nodiscard]] bool ReadQuotedValue(LCharIn& in, LStrBuf& out, unsigned char stop, bool escapes);

// Reads one white-space separated token into out (reset first). A token may be enclosed in double
// quotes or apostrophes; inside, a doubled quote stands for one, and CR and LF belong to the token
// only with keepLineEnds (otherwise they are dropped). The enclosing quotes are not copied. True
// when a token, possibly the empty quoted one, was read.
[[nodiscard]] bool ReadQuotedToken(LCharIn& in, LStrBuf& out, bool keepLineEnds);
