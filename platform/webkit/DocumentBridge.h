#pragma once

#include "platform/webkit/JsValue.h"
#include "platform/webkit/ScriptRunner.h"

#include <string>
#include <string_view>
#include <vector>

namespace tvrn2 {

enum class BridgeStatus {
    Ok,
    StaleHandle, // the handle's document was replaced by a navigation
    ReleasedHandle, // released, or never handed out
    NotCallable, // invoke on a property that is not a method
    ScriptError, // the page threw
    TimedOut,
    WebProcessGone,
    BadReply, // the page answered something the bridge never sends
};

struct BridgeResult {
    BridgeStatus status { BridgeStatus::Ok };
    JsValue value; // a plain value, or a handle for an object
    std::string message;

    bool ok() const { return status == BridgeStatus::Ok; }
};

// Late binding on the page's objects: read a property, write a property or
// call a method by name, on objects named by handles. Every call is one
// synchronous round trip through the script runner (and so holds the
// window's events and handles page dialogs the same way).
class DocumentBridge {
public:
    explicit DocumentBridge(ScriptRunner& runner);

    // The script the view injects at document start, in the runner's world.
    static std::string_view script();

    BridgeResult document();
    BridgeResult window();
    BridgeResult get(ObjectHandle object, std::string_view name);
    BridgeResult put(ObjectHandle object, std::string_view name, const JsValue& value);
    BridgeResult invoke(
        ObjectHandle object, std::string_view name, const std::vector<JsValue>& arguments = {});
    // Drops the page's reference; the same node gets a new handle next time.
    BridgeResult release(ObjectHandle object);

    // The elements of a tag in a document, from an index on, read in one
    // call: a string of records (see bridge.js) the element walker decodes.
    BridgeResult elements(ObjectHandle document, std::string_view tag, std::size_t from);
    // One action on the index-th element of a tag: "click", "check" (a
    // boolean), "value" (sets it, then fires change and blur), "quietValue"
    // (sets it, no events) or "submit".
    BridgeResult act(ObjectHandle document, std::string_view tag, std::size_t index, std::string_view action,
        const JsValue& value = {});

    // Decodes one answer of the page script (exposed for tests of the wire form).
    static BridgeResult decode(std::string_view reply);

private:
    BridgeResult call(const std::string& expression);

    ScriptRunner& m_runner;
};

} // namespace tvrn2
