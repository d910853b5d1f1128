#include "platform/webkit/JsValue.h"

#include <cmath>
#include <cstdio>

namespace tvrn2 {

JsValue JsValue::null()
{
    JsValue value;
    value.m_kind = Kind::Null;
    return value;
}

JsValue JsValue::boolean(bool flag)
{
    JsValue value;
    value.m_kind = Kind::Boolean;
    value.m_boolean = flag;
    return value;
}

JsValue JsValue::number(double number)
{
    JsValue value;
    value.m_kind = Kind::Number;
    value.m_number = number;
    return value;
}

JsValue JsValue::string(std::string text)
{
    JsValue value;
    value.m_kind = Kind::String;
    value.m_text = std::move(text);
    return value;
}

JsValue JsValue::json(std::string text)
{
    JsValue value;
    value.m_kind = Kind::Json;
    value.m_text = std::move(text);
    return value;
}

JsValue JsValue::handle(ObjectHandle handle)
{
    JsValue value;
    value.m_kind = Kind::Handle;
    value.m_handle = handle;
    return value;
}

std::string JsValue::toScript() const
{
    switch (m_kind) {
    case Kind::Undefined:
        return "undefined";
    case Kind::Null:
        return "null";
    case Kind::Boolean:
        return m_boolean ? "true" : "false";
    case Kind::Number: {
        if (std::isnan(m_number))
            return "NaN";
        if (std::isinf(m_number))
            return m_number > 0 ? "Infinity" : "-Infinity";
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.17g", m_number);
        return buffer;
    }
    case Kind::String:
        return jsStringLiteral(m_text);
    case Kind::Json:
        // JSON text came out of the page as a serialised value; parse it
        // rather than splicing it in, so it can only ever be data.
        return "JSON.parse(" + jsStringLiteral(m_text) + ")";
    case Kind::Handle:
        return "{\"$h\":[" + std::to_string(m_handle.generation) + "," + std::to_string(m_handle.id) + "]}";
    }
    return "undefined";
}

std::string jsStringLiteral(std::string_view text)
{
    std::string literal;
    literal.reserve(text.size() + 2);
    literal.push_back('"');
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '"':
            literal += "\\\"";
            continue;
        case '\\':
            literal += "\\\\";
            continue;
        case '\n':
            literal += "\\n";
            continue;
        case '\r':
            literal += "\\r";
            continue;
        case '\t':
            literal += "\\t";
            continue;
        default:
            break;
        }
        if (c < 0x20 || c == 0x7f) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            literal += escaped;
            continue;
        }
        // U+2028 and U+2029 (E2 80 A8 / E2 80 A9) end a line in older engines.
        if (c == 0xe2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80
            && (static_cast<unsigned char>(text[i + 2]) == 0xa8
                || static_cast<unsigned char>(text[i + 2]) == 0xa9)) {
            literal += static_cast<unsigned char>(text[i + 2]) == 0xa8 ? "\\u2028" : "\\u2029";
            i += 2;
            continue;
        }
        literal.push_back(static_cast<char>(c));
    }
    literal.push_back('"');
    return literal;
}

} // namespace tvrn2
