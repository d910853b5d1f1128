#include "platform/webkit/DocumentBridge.h"

#include "platform/webkit/BridgeScript.h"

#include <charconv>
#include <cstdlib>

namespace tvrn2 {
namespace {

std::string handleArguments(ObjectHandle object)
{
    return std::to_string(object.generation) + "," + std::to_string(object.id);
}

bool parseInteger(std::string_view text, std::int64_t& number)
{
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    return error == std::errc() && end == text.data() + text.size();
}

std::string tagList(const std::vector<std::string>& tags)
{
    std::string list = "[";
    for (const auto& tag : tags)
        list += (list.size() > 1 ? "," : "") + jsStringLiteral(tag);
    return list + "]";
}

std::string documentArgument(std::optional<ObjectHandle> document)
{
    return document ? JsValue::handle(*document).toScript() : std::string("null");
}

std::string nameArgument(const std::optional<std::string>& name)
{
    return name ? jsStringLiteral(*name) : std::string("null");
}

BridgeResult failure(BridgeStatus status, std::string message)
{
    BridgeResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
}

// A call of the bridge that answers null where the document lacks it. The
// user script normally ran at document start; a document that came into
// being without a load (the first blank page) gets it on demand.
std::string guardedCall(const std::string& expression)
{
    return "globalThis.__tvrn2Bridge ? __tvrn2Bridge." + expression + " : null";
}

} // namespace

DocumentBridge::DocumentBridge(ScriptRunner& runner)
    : m_runner(runner)
{ }

std::string_view DocumentBridge::script()
{
    return bridgeScriptSource;
}

BridgeResult DocumentBridge::document()
{
    return call("document()");
}

BridgeResult DocumentBridge::window()
{
    return call("window()");
}

BridgeResult DocumentBridge::get(ObjectHandle object, std::string_view name)
{
    return call("get(" + handleArguments(object) + "," + jsStringLiteral(name) + ")");
}

BridgeResult DocumentBridge::put(ObjectHandle object, std::string_view name, const JsValue& value)
{
    return call(
        "put(" + handleArguments(object) + "," + jsStringLiteral(name) + "," + value.toScript() + ")");
}

BridgeResult DocumentBridge::invoke(
    ObjectHandle object, std::string_view name, const std::vector<JsValue>& arguments)
{
    std::string list;
    for (const auto& argument : arguments) {
        if (!list.empty())
            list += ",";
        list += argument.toScript();
    }
    return call("invoke(" + handleArguments(object) + "," + jsStringLiteral(name) + ",[" + list + "])");
}

BridgeResult DocumentBridge::release(ObjectHandle object)
{
    return call("release(" + handleArguments(object) + ")");
}

BridgeResult DocumentBridge::walk(std::optional<ObjectHandle> document, const std::vector<std::string>& tags,
    std::size_t fromTag, std::size_t fromIndex, const std::optional<std::string>& name)
{
    return call("walk(" + documentArgument(document) + "," + tagList(tags) + "," + std::to_string(fromTag)
        + "," + std::to_string(fromIndex) + "," + nameArgument(name) + ")");
}

BridgeResult DocumentBridge::act(std::optional<ObjectHandle> document, const std::vector<std::string>& tags,
    std::size_t position, std::size_t index, std::string_view action, const JsValue& value,
    const std::optional<std::string>& name)
{
    return call("act(" + documentArgument(document) + "," + tagList(tags) + "," + std::to_string(position)
        + "," + std::to_string(index) + "," + jsStringLiteral(action) + "," + value.toScript() + ","
        + nameArgument(name) + ")");
}

std::string DocumentBridge::fillArguments(std::optional<ObjectHandle> document,
    const std::vector<std::string>& tags, const FillPlan& plan, const FillPlace& from)
{
    auto flag = [](bool on) { return on ? "true" : "false"; };
    return documentArgument(document) + "," + tagList(tags) + ",[" + std::to_string(from.tag) + ","
        + std::to_string(from.index) + "," + std::to_string(from.length) + "," + std::to_string(from.matches)
        + "," + flag(from.clicked) + "]," + jsStringLiteral(plan.nameKey)
        + ",{value:" + jsStringLiteral(plan.value) + ",dup:" + std::to_string(plan.duplicateTarget)
        + ",click:" + flag(plan.click) + ",check:" + flag(plan.check) + ",submit:" + flag(plan.submit) + "}";
}

BridgeResult DocumentBridge::fill(std::optional<ObjectHandle> document, const std::vector<std::string>& tags,
    const FillPlan& plan, const FillPlace& from)
{
    return call("fill(" + fillArguments(document, tags, plan, from) + ")");
}

void DocumentBridge::postFill(
    std::optional<ObjectHandle> document, const std::vector<std::string>& tags, const FillPlan& plan)
{
    post("fillAll(" + fillArguments(document, tags, plan, FillPlace {}) + ")");
}

std::optional<FillPlace> DocumentBridge::decodeFillPlace(std::string_view text)
{
    std::int64_t numbers[5];
    for (std::size_t i = 0; i < 5; ++i) {
        auto comma = text.find(',');
        if ((comma == std::string_view::npos) != (i == 4) || !parseInteger(text.substr(0, comma), numbers[i]))
            return std::nullopt;
        text = comma == std::string_view::npos ? std::string_view {} : text.substr(comma + 1);
    }
    if (numbers[0] < 0 || numbers[1] < 0 || numbers[2] <= numbers[1] || numbers[3] < 0
        || (numbers[4] != 0 && numbers[4] != 1))
        return std::nullopt;
    return FillPlace { static_cast<std::size_t>(numbers[0]), static_cast<std::size_t>(numbers[1]), numbers[2],
        numbers[3], numbers[4] == 1 };
}

BridgeResult DocumentBridge::call(const std::string& expression)
{
    std::string guarded = guardedCall(expression);
    for (int attempt = 0; attempt < 2; ++attempt) {
        ScriptResult answer = m_runner.run(guarded);
        if (!answer.ok()) {
            switch (answer.status) {
            case ScriptStatus::TimedOut:
                return failure(BridgeStatus::TimedOut, answer.error);
            case ScriptStatus::WebProcessGone:
                return failure(BridgeStatus::WebProcessGone, answer.error);
            case ScriptStatus::ScriptError:
            case ScriptStatus::Ok:
                return failure(BridgeStatus::ScriptError, answer.error);
            }
        }
        if (answer.value.kind() == JsValue::Kind::String) {
            m_answeredInProcess = m_runner.processesEnded();
            return decode(answer.value.text());
        }
        if (answer.value.kind() != JsValue::Kind::Null || attempt > 0)
            break;
        ScriptResult installed = m_runner.run(script());
        if (!installed.ok())
            return failure(
                BridgeStatus::ScriptError, "the bridge could not be installed: " + installed.error);
    }
    return failure(BridgeStatus::BadReply, "the page gave no bridge answer");
}

void DocumentBridge::post(const std::string& expression)
{
    if (m_answeredInProcess != m_runner.processesEnded()) {
        call(expression);
        return;
    }
    std::string guarded = guardedCall(expression);
    // Should the document lack the bridge after all, it gets it and the call
    // again from here, before any later call of this bridge that waits (its
    // own answer comes after this one).
    m_runner.post(guarded, [this, guarded](const ScriptResult& answer) {
        if (answer.ok() && answer.value.kind() == JsValue::Kind::Null) {
            m_runner.post(script());
            m_runner.post(guarded);
        }
    });
}

BridgeResult DocumentBridge::decode(std::string_view reply)
{
    BridgeResult result;
    if (reply.empty())
        return failure(BridgeStatus::BadReply, "empty answer");
    std::string_view rest = reply.substr(1);
    switch (reply.front()) {
    case 'u':
        return result;
    case 'n':
        result.value = JsValue::null();
        return result;
    case 'b':
        result.value = JsValue::boolean(rest == "1");
        return result;
    case 'd': {
        std::string text(rest);
        char* end = nullptr;
        double number = std::strtod(text.c_str(), &end);
        if (text.empty() || end != text.c_str() + text.size())
            return failure(BridgeStatus::BadReply, "not a number: " + text);
        result.value = JsValue::number(number);
        return result;
    }
    case 's':
        result.value = JsValue::string(std::string(rest));
        return result;
    case 'h': {
        auto colon = rest.find(':');
        ObjectHandle handle;
        if (colon == std::string_view::npos || !parseInteger(rest.substr(0, colon), handle.generation)
            || !parseInteger(rest.substr(colon + 1), handle.id))
            return failure(BridgeStatus::BadReply, "not a handle: " + std::string(rest));
        result.value = JsValue::handle(handle);
        return result;
    }
    case 'e': {
        auto colon = rest.find(':');
        std::string_view code = rest.substr(0, colon);
        std::string message(colon == std::string_view::npos ? std::string_view {} : rest.substr(colon + 1));
        if (code == "stale")
            return failure(BridgeStatus::StaleHandle, message);
        if (code == "released")
            return failure(BridgeStatus::ReleasedHandle, message);
        if (code == "notcallable")
            return failure(BridgeStatus::NotCallable, message);
        return failure(BridgeStatus::ScriptError, message);
    }
    default:
        return failure(BridgeStatus::BadReply, "unknown answer: " + std::string(reply.substr(0, 40)));
    }
}

} // namespace tvrn2
