// The small piece of XML that the text-form packet needs: a scanner that
// reads the document's tags one by one (declaration, comments and processing
// instructions skipped; text between tags must be blank), and escaping of
// attribute text for either document encoding. No DTDs, no CDATA, no entity
// definitions: the five predefined entities and character references only.
// Everything is bounded by the document's bytes; nesting is checked by the
// caller, which knows the few elements that may occur.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "store/status.h"

namespace quillset {

enum class DocumentEncoding { kUtf8, kShiftJis };

struct XmlAttribute {
  std::u32string name;
  std::u32string value;
};

struct XmlTag {
  enum class Kind { kStart, kEnd, kEmpty };
  Kind kind = Kind::kStart;
  std::string name;  // ASCII element name
  std::vector<XmlAttribute> attributes;

  // The attribute whose name is `name` (ASCII, case-sensitive), or null.
  const std::u32string* Find(const char* name) const;
};

class XmlScanner {
 public:
  XmlScanner(const std::uint8_t* data, std::size_t size);
  // Reads a byte-order mark and the XML declaration if present and takes the
  // encoding from it (UTF-8 when none is named). kStatusBadPacket for an encoding
  // other than UTF-8 and Shift-JIS.
  Status ReadProlog();
  DocumentEncoding Encoding() const { return encoding_; }
  // The next tag; kStatusNoMore at the end of the document, kStatusBadPacket for
  // anything malformed.
  Status Next(XmlTag& tag);

 private:
  Status SkipMisc(bool& at_end);
  Status DecodeRun(std::size_t begin, std::size_t end, bool entities,
                         std::u32string& out) const;

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t pos_ = 0;
  DocumentEncoding encoding_ = DocumentEncoding::kUtf8;
};

// Appends `text` as attribute-value content in the document's encoding: the
// markup characters and control characters as references; in a Shift-JIS
// document, characters it cannot hold as bytes as character references.
void AppendEscaped(const std::u32string& text, DocumentEncoding encoding, std::string& out);

}  // namespace quillset
