#!/usr/bin/env python3
"""Prints the event stream of each XML file named on the command line, as seen by xml.sax.

One block per file: "FILE <path>", then "S name", "A name=value", "T text", "E" lines, or
"SKIP <reason>" when the file is not well-formed or needs its document type (entities).
Values and text are escaped (backslash, newline); attribute white space is made blanks.
"""
import sys
import xml.sax
import xml.sax.handler


def esc(s):
    return s.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r")


class Collector(xml.sax.handler.ContentHandler):
    def __init__(self):
        super().__init__()
        self.out, self.text, self.depth, self.skipped = [], [], 0, False

    def flush(self):
        if self.text and self.depth > 0:
            self.out.append("T " + esc("".join(self.text)))
        self.text = []

    def startElement(self, name, attrs):
        self.flush()
        self.out.append("S " + name)
        for k in attrs.getNames():
            v = attrs.getValue(k)
            for ch in "\t\n\r":
                v = v.replace(ch, " ")
            self.out.append("A " + k + "=" + esc(v))
        self.depth += 1

    def endElement(self, name):
        self.flush()
        self.out.append("E")
        self.depth -= 1

    def characters(self, content):
        self.text.append(content)

    def skippedEntity(self, name):
        self.skipped = True


def main():
    for path in sys.argv[1:]:
        print("FILE " + path)
        handler = Collector()
        parser = xml.sax.make_parser()
        parser.setFeature(xml.sax.handler.feature_namespaces, False)
        parser.setFeature(xml.sax.handler.feature_external_ges, False)
        parser.setFeature(xml.sax.handler.feature_external_pes, False)
        parser.setContentHandler(handler)
        try:
            with open(path, "rb") as f:
                data = f.read()
            if b"<!ENTITY" in data:
                raise ValueError("declares entities")
            parser.feed(data)
            parser.close()
        except Exception as e:  # not well-formed, or not ours to compare
            print("SKIP " + esc(str(e)))
            continue
        if handler.skipped:
            print("SKIP entity")
            continue
        for line in handler.out:
            print(line)
    print("DONE")


if __name__ == "__main__":
    main()
