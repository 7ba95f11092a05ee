#pragma once

class LCharIn;
class LString;

// Reads one "name=value;" pair, as in header parameters ("charset=utf-8; name=\"a b\""). The name
// runs to '=' without surrounding blanks; the value to ';' (see ReadQuotedValue). Neither crosses a
// line end. True when a non-empty name followed by '=' was read; only then is value set. On
// false the name is empty, however much of one came before the line end.
[[nodiscard]] bool ReadNameValuePair(LCharIn& in, LString& name, LString& value);
