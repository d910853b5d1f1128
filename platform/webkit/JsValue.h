#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>

namespace tvrn2 {

// A reference to a page object kept alive by the document bridge. The
// generation names the document the object belongs to, so a handle kept past
// a navigation is recognised as stale instead of reaching a different node.
struct ObjectHandle {
    std::int64_t generation { 0 };
    std::int64_t id { 0 };

    friend bool operator==(const ObjectHandle&, const ObjectHandle&) = default;
};

// A value crossing the boundary between C++ and the page's JavaScript.
// Objects that are not plain values travel as handles (document bridge) or
// as JSON text (plain script results).
class JsValue {
public:
    enum class Kind { Undefined, Null, Boolean, Number, String, Json, Handle };

    JsValue() = default;
    static JsValue null();
    static JsValue boolean(bool value);
    static JsValue number(double value);
    static JsValue string(std::string value);
    static JsValue json(std::string text);
    static JsValue handle(ObjectHandle handle);

    Kind kind() const { return m_kind; }
    bool isUndefined() const { return m_kind == Kind::Undefined; }
    bool isHandle() const { return m_kind == Kind::Handle; }

    bool toBoolean() const { return m_boolean; }
    double toNumber() const { return m_number; }
    // The text of a string, the JSON of an object; empty for other kinds.
    const std::string& text() const { return m_text; }
    ObjectHandle toHandle() const { return m_handle; }

    // The value as JavaScript source, for building a call into the page. A
    // handle becomes the marker object the bridge script resolves.
    std::string toScript() const;

    friend bool operator==(const JsValue&, const JsValue&) = default;
    friend std::ostream& operator<<(std::ostream& out, const JsValue& value)
    {
        return out << value.toScript();
    }

private:
    Kind m_kind { Kind::Undefined };
    bool m_boolean { false };
    double m_number { 0 };
    std::string m_text;
    ObjectHandle m_handle;
};

// A JavaScript string literal (double quotes) holding exactly `text`: quotes,
// backslashes, control characters and the two line separators that end a
// JavaScript line are escaped, so no text can break out of the literal.
std::string jsStringLiteral(std::string_view text);

} // namespace tvrn2
