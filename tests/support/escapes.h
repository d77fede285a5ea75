// vindle's own escape sequences: bold on and off around a highlighted label,
// and the switches into and out of the VT100 line-drawing set (each followed
// by SI, which selects the G0 set they load).
#pragma once

#include <string>

inline const std::string boldOn = "\x1b[1m";
inline const std::string boldOff = "\x1b[22m";
inline const std::string graphicsOn = "\x1b(0\x0f";
inline const std::string graphicsOff = "\x1b(B\x0f";

inline const std::string ownEscapes[] = {boldOn, boldOff, graphicsOn, graphicsOff};

// `text` in bold, and `letters` drawn in the VT100 set, as vindle writes them.
inline std::string bold(const std::string& text) { return boldOn + text + boldOff; }
inline std::string drawn(const std::string& letters) { return graphicsOn + letters + graphicsOff; }

// `text` with every one of vindle's own escape sequences taken out.
inline std::string withoutOwnEscapes(std::string text) {
    for (const std::string& escape : ownEscapes)
        for (std::size_t at = text.find(escape); at != std::string::npos;
             at = text.find(escape, at))
            text.erase(at, escape.size());
    return text;
}
