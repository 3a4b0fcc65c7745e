#pragma once
// Little-endian byte strings built by hand, for the stored forms and the
// damaged files the readers must refuse.
#include "testing.h"

struct CBytes {
    std::string s;
    CBytes& b(std::uint8_t v)
    {
        s.push_back(static_cast<char>(v));
        return *this;
    }
    CBytes& w(std::uint16_t v)
    {
        return b(static_cast<std::uint8_t>(v)).b(static_cast<std::uint8_t>(v >> 8));
    }
    CBytes& d(std::uint32_t v)
    {
        return w(static_cast<std::uint16_t>(v)).w(static_cast<std::uint16_t>(v >> 16));
    }
    CBytes& raw(std::string_view v)
    {
        s += v;
        return *this;
    }
    // A string with a one-byte length, as the archives write short ones.
    CBytes& str(std::string_view v) { return b(static_cast<std::uint8_t>(v.size())).raw(v); }
    // The tag of a class seen for the first time in an archive.
    CBytes& newClass(std::string_view name, std::uint16_t schema)
    {
        return w(0xFFFF).w(schema).w(static_cast<std::uint16_t>(name.size())).raw(name);
    }
};
