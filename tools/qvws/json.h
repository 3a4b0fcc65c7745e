#pragma once
// A small JSON reader and writer for the workspace's JSON form (wsjson.h),
// on the standard library alone.
//
// Reading is strict RFC 8259: one value, white space only around tokens, no
// comments, no trailing commas, no duplicate member names, input in UTF-8.
// Every value and member name remembers its line and column (1-based;
// columns count characters), and errors carry the position where the fault
// was found. Nesting deeper than nMaxDepth and input longer than nMaxBytes
// are refused before they can cost memory or stack.
//
// Strings are 8-bit bytes, as everywhere in the model. Their JSON form is
// lossless for any bytes:
//   - a valid UTF-8 sequence is written as it is (control characters, '"'
//     and '\' escaped); \uXXXX escapes, surrogate pairs included, read back
//     as the UTF-8 bytes of the character;
//   - a byte that does not begin a valid UTF-8 sequence (for example 0xE9,
//     an 'é' of an 8-bit code page) is written as the escape of a lone low
//     surrogate \udcXX, with XX the byte (80 to ff), and read back as that
//     byte. Such an escape cannot stand for any character, so it never
//     collides with real text; other lone surrogates are refused.
// So every byte string writes to JSON and reads back to the same bytes, and
// writing it again gives the same text.
//
// Numbers keep their text. AsInteger gives the value of a number written
// without fraction or exponent when it lies in the range asked for.
//
// Writing is deterministic: two-space indentation, members in their stored
// order, arrays of scalars on one line ("[1, 2]"), empty containers as "{}"
// and "[]", a line feed at the end.
//
// Plain value types without shared state; any thread.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// A place in the JSON text; line 0 means no place (a value built in code).
struct CJsonPos {
    int m_nLine = 0;
    int m_nColumn = 0;
};

// A fault in JSON text or in what it describes: the message and where.
// what() is "LINE:COLUMN: message", or the message alone without a place.
class CJsonError : public std::runtime_error {
public:
    CJsonError(CJsonPos pos, const std::string& message);

    CJsonPos m_pos;
    std::string m_strMessage;
};

struct CJsonMember;

class CJsonValue {
public:
    enum class Type { Null, Bool, Number, String, Array, Object };

    CJsonValue() = default;
    static CJsonValue MakeBool(bool b);
    static CJsonValue MakeNumber(std::int64_t n);
    static CJsonValue MakeString(std::string_view bytes);
    static CJsonValue MakeArray();
    static CJsonValue MakeObject();

    Type GetType() const { return m_type; }
    bool IsObject() const { return m_type == Type::Object; }
    bool IsArray() const { return m_type == Type::Array; }
    // "null", "true or false", "a number", "a string", "an array", "an object".
    static const char* TypeName(Type type);

    // Bool: the value. Number: its text. String: its bytes.
    bool m_bValue = false;
    std::string m_strValue;
    std::vector<CJsonValue> m_items;    // Array
    std::vector<CJsonMember> m_members; // Object, in the order written
    CJsonPos m_pos;

    // A number written as a whole number (no fraction, no exponent) within
    // [nMin, nMax]; nullopt otherwise.
    std::optional<std::int64_t> AsInteger(std::int64_t nMin, std::int64_t nMax) const;

    // Appends to an array or an object; returns the new value.
    CJsonValue& Push(CJsonValue value);
    CJsonValue& Add(std::string name, CJsonValue value);

private:
    Type m_type = Type::Null;
};

struct CJsonMember {
    std::string m_strName;
    CJsonPos m_pos; // of the name
    CJsonValue m_value;
};

struct CJsonLimits {
    std::size_t m_nMaxBytes = 64u << 20;
    unsigned m_nMaxDepth = 64;
};

// Parses one JSON text; throws CJsonError. A leading UTF-8 byte order mark
// is skipped.
CJsonValue ParseJson(std::string_view text, const CJsonLimits& limits = {});

// The value as indented JSON text ending in a line feed.
std::string WriteJson(const CJsonValue& value);
// One string as a JSON string literal with its quotes (the byte mapping
// above); for values and for quoting names in messages.
std::string QuoteJsonString(std::string_view bytes);
