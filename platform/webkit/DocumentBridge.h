#pragma once

#include "platform/webkit/JsValue.h"
#include "platform/webkit/ScriptRunner.h"

#include <cstdint>
#include <optional>
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

// What a fill by name does to the elements it chooses (see fillByName in
// bridge.js).
struct FillPlan {
    std::string nameKey; // the wanted name as the host compares it: clipped, ASCII letters in lower case
    std::string value; // written into the chosen inputs, lists, text areas, file inputs and images
    std::int64_t duplicateTarget { 0 }; // only the n-th element of the name; 0: every one
    bool click { false }; // click the chosen inputs instead, the first one only
    bool check { false }; // the state of a chosen check box
    bool submit { false }; // submit the forms of the name
};

// Where a fill by name stands: the tag and the index in its collection to go
// on from, the collection's length when its pass began (-1: not begun), the
// name's elements counted so far and whether a button was clicked.
struct FillPlace {
    std::size_t tag { 0 };
    std::size_t index { 0 };
    std::int64_t length { -1 };
    std::int64_t matches { 0 };
    bool clicked { false };
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

    // The element walk's reading of a document (none: the page's own), in
    // one call: the tags from tags[fromTag] on, that one from fromIndex on;
    // a string of records (see bridge.js) the element walker decodes. With a
    // name, only the elements whose name may match it are described, and
    // always the one at fromIndex.
    BridgeResult walk(std::optional<ObjectHandle> document, const std::vector<std::string>& tags,
        std::size_t fromTag, std::size_t fromIndex, const std::optional<std::string>& name = std::nullopt);
    // One action on the index-th element of tags[position]: "click", "check"
    // (a boolean), "value" (sets it, then fires change and blur),
    // "quietValue" (sets it, no events) or "submit"; answers "1" or "0" for
    // the action and, after a group end, the walk's reading from that element
    // on, as `walk` gives it.
    BridgeResult act(std::optional<ObjectHandle> document, const std::vector<std::string>& tags,
        std::size_t position, std::size_t index, std::string_view action, const JsValue& value = {},
        const std::optional<std::string>& name = std::nullopt);

    // A fill by name in one call, from `from` on, the choices made in the
    // page as the element walk makes them; answers an empty text when the
    // walk reached its end, else the place to go on from (see decodeFillPlace).
    BridgeResult fill(std::optional<ObjectHandle> document, const std::vector<std::string>& tags,
        const FillPlan& plan, const FillPlace& from);
    static std::optional<FillPlace> decodeFillPlace(std::string_view text);
    // The same fill over the whole walk, its parts one after the other in
    // one call, sent without waiting for it (ScriptRunner::post): whatever is
    // asked of the page next sees it done. For a fill with no answer to give.
    void postFill(
        std::optional<ObjectHandle> document, const std::vector<std::string>& tags, const FillPlan& plan);

    // Decodes one answer of the page script (exposed for tests of the wire form).
    static BridgeResult decode(std::string_view reply);

private:
    BridgeResult call(const std::string& expression);
    // `call` without waiting, once the bridge answered in the current web
    // process (only a document that came without a load lacks it, and the
    // call that installs it must come first); until then `call` itself.
    void post(const std::string& expression);
    static std::string fillArguments(std::optional<ObjectHandle> document,
        const std::vector<std::string>& tags, const FillPlan& plan, const FillPlace& from);

    ScriptRunner& m_runner;
    // processesEnded() when the bridge last answered; none before.
    std::optional<unsigned> m_answeredInProcess;
};

} // namespace tvrn2
