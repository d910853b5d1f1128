#include "browser_host/FeBrowser.h"
#include "browser_host/FrameDocument.h"
#include "platform/TextCase.h"
#include "platform/webkit/DocumentBridge.h"

#include <array>
#include <charconv>

namespace tvrn2 {
namespace {

constexpr std::string_view noDataToReturn = "No data to return";
constexpr std::string_view clickButton = "__clickbutton";
constexpr std::string_view clickByRecordId = "__clickbyrecordid";
constexpr std::array<std::string_view, 8> allTagNames
    = { "body", "div", "form", "input", "meta", "select", "textarea", "img" };

// One element as the page script reports it (see bridge.js).
struct PageElement {
    std::string kind, tagName, id, className, type, name, value;
    bool checked { false };
    bool readOnly { false };
};

// A tag's collection: its length when read, and the elements from some index on.
struct ElementBatch {
    std::size_t length { 0 };
    std::vector<PageElement> elements;
};

std::optional<ElementBatch> decodeBatch(std::string_view text)
{
    std::vector<std::vector<std::string_view>> records;
    while (!text.empty()) {
        auto end = text.find('\x1e');
        std::string_view record = text.substr(0, end);
        std::vector<std::string_view> fields;
        while (!record.empty()) {
            auto fieldEnd = record.find('\x1f');
            if (fieldEnd == std::string_view::npos)
                return std::nullopt;
            fields.push_back(record.substr(0, fieldEnd));
            record.remove_prefix(fieldEnd + 1);
        }
        records.push_back(std::move(fields));
        text = end == std::string_view::npos ? std::string_view {} : text.substr(end + 1);
    }
    if (records.empty() || records.front().size() != 1)
        return std::nullopt;
    ElementBatch batch;
    std::string_view length = records.front().front();
    if (std::from_chars(length.data(), length.data() + length.size(), batch.length).ec != std::errc())
        return std::nullopt;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const auto& f = records[i];
        if (f.size() != 9)
            return std::nullopt;
        batch.elements.push_back({ std::string(f[0]), std::string(f[1]), std::string(f[2]), std::string(f[3]),
            std::string(f[4]), std::string(f[5]), std::string(f[6]), f[7] == "1", f[8] == "1" });
    }
    return batch;
}

// The number a text starts with, after leading blanks; 0 when it has none.
long leadingNumber(std::string_view text)
{
    text = trim(text);
    long number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number;
}

// Names compare without letter case or trailing blanks. A blank name names
// nothing: otherwise a call without a name would write into every unnamed field.
bool sameName(std::string_view wanted, std::string_view elementName)
{
    std::string_view left = clip(wanted);
    return !left.empty() && toLowerAscii(left) == toLowerAscii(clip(elementName));
}

} // namespace

std::string FeBrowser::GetElementQ(std::string_view tagName, std::string_view name, std::string_view value,
    std::string_view dupNumber, ElementQueue* queue, std::uint8_t allTags, std::int32_t frame,
    std::uint8_t noDupTarget, std::uint8_t returnValue, std::uint8_t matchAll)
{
    std::string result(noDataToReturn);
    if (queue)
        queue->clear();
    long dupNameTarget = 0;
    if (noDupTarget == 0) {
        dupNameTarget = std::max(0L, leadingNumber(dupNumber));
        DebugTrace("GetElementQ - DupNameTarget = " + std::to_string(dupNameTarget), 2);
    }
    DocumentBridge* bridge = get_Document();
    if (CORECONTROL == 0 || !bridge)
        return result;

    std::optional<std::string> updateValue;
    if (returnValue == 0 && !clip(value).empty())
        updateValue = std::string(clip(value));
    bool clickingRecord = updateValue == clickByRecordId;
    long recordToClick = clickingRecord ? leadingNumber(name) : 0;

    FrameDocument document(*bridge, frame, TEMPDISPOBJECTHOLDER);
    if (!document)
        return result;

    std::vector<std::string> tags;
    if (allTags != 0)
        tags.assign(allTagNames.begin(), allTagNames.end());
    else
        tags.emplace_back(clip(tagName).empty() ? std::string("body") : std::string(clip(tagName)));

    std::int32_t recordId = 1;
    long matches = 0;
    bool buttonClicked = false;

    // The duplicate rule: with a target n only the n-th name match of the call counts.
    auto selected = [&] {
        if (dupNameTarget == 0)
            return true;
        ++matches;
        DebugTrace("GetElementQ - checking dup name code", 2);
        if (matches != dupNameTarget)
            return false;
        DebugTrace("GetElementQ - checking dup name code - matched", 2);
        return true;
    };

    for (const std::string& tag : tags) {
        DebugTrace("GetElementQ - TempTagName = " + tag, 2);
        // Each pass reads its elements in one call; whatever the walk writes or
        // clicks may change the page, so the rest is read again after it.
        BridgeResult read = bridge->elements(document.handle(), tag, 0);
        std::optional<ElementBatch> batch
            = read.ok() ? decodeBatch(read.value.text()) : std::optional<ElementBatch> {};
        if (!batch) {
            DebugTrace("GetElementQ - Unable to read the collection of " + tag, 2);
            continue;
        }
        const std::size_t length = batch->length;
        DebugTrace("GetElementQ - Items in collection = " + std::to_string(length), 2);
        std::size_t first = 0; // index of batch->elements[0] in the collection
        for (std::size_t index = 0; index < length; ++index) {
            if (index - first >= batch->elements.size())
                break; // the collection shrank under the walk: the item is gone
            const PageElement* element = &batch->elements[index - first];
            bool acted = false;
            auto act = [&](std::string_view action, const JsValue& argument = {}) {
                BridgeResult done = bridge->act(document.handle(), tag, index, action, argument);
                acted = true;
                return done.ok();
            };
            // Reads the element again after an action, with everything after it.
            auto reread = [&] {
                if (!acted)
                    return true;
                acted = false;
                BridgeResult again = bridge->elements(document.handle(), tag, index);
                std::optional<ElementBatch> fresh
                    = again.ok() ? decodeBatch(again.value.text()) : std::optional<ElementBatch> {};
                if (!fresh || fresh->elements.empty())
                    return false;
                batch = std::move(fresh);
                first = index;
                element = &batch->elements.front();
                return true;
            };

            ElementInfo info;
            info.ELEMENTTAGNAME = element->tagName;
            info.ELEMENTID = element->id;
            DebugTrace("GetElementQ - ClassName = " + element->className, 2);
            bool nameMatch = false;
            const std::string kind = element->kind; // a copy: a re-read replaces the batch
            bool clickable = !clickingRecord && updateValue.has_value();

            if (kind == "input" || kind == "select" || kind == "textarea" || kind == "file"
                || kind == "image") {
                info.ELEMENTNAME = element->name;
                nameMatch = matchAll == 0 && !clickingRecord && sameName(name, info.ELEMENTNAME.raw());
                if (nameMatch)
                    DebugTrace("GetElementQ - Matched the name we were looking for", 2);
                bool chosen = nameMatch && selected();
                bool checkbox = kind == "input" && toLowerAscii(element->type) == "checkbox";
                if (chosen && clickable) {
                    if (kind == "input" && *updateValue == clickButton) {
                        if (buttonClicked) {
                            DebugTrace("GetElementQ - have already clicked a button with this name", 2);
                        } else {
                            bool ok = act("click");
                            buttonClicked = true;
                            DebugTrace(std::string("GetElementQ - executing code for self.ClickByName() - ")
                                    + (ok ? "OK" : "Failed"),
                                2);
                        }
                    } else if (checkbox) {
                        // The number goes to the box as a 16-bit boolean: 0 clears it.
                        auto state = static_cast<std::int16_t>(leadingNumber(*updateValue));
                        bool ok = act("check", JsValue::boolean(state != 0));
                        DebugTrace(std::string("GetElementQ - HtmlInputElement CheckedState Set to -1, hr = ")
                                + (ok ? "0" : "-2147467259"),
                            2);
                    } else if (*updateValue != clickButton) {
                        // Inputs and lists tell the page about the change; text areas,
                        // file inputs and images are only written.
                        bool events = kind == "input" || kind == "select";
                        bool ok = act(events ? "value" : "quietValue", JsValue::string(*updateValue));
                        DebugTrace(std::string("GetElementQ - Updated Value ") + (ok ? "OK" : "FAILED"), 2);
                    }
                    if (!reread())
                        break;
                }
                if (kind != "file")
                    info.ELEMENTTYPE = element->type;
                if (checkbox)
                    info.CHECKEDSTATUS = element->checked ? 1 : 0;
                info.ELEMENTVALUE = element->value;
                if (nameMatch && returnValue != 0 && kind != "file") {
                    GETELEMENTQRESULT = info.ELEMENTVALUE.clipped();
                    result = *GETELEMENTQRESULT;
                }
            } else if (kind == "form") {
                info.ELEMENTNAME = element->name;
                if (matchAll != 0 || sameName(name, info.ELEMENTNAME.raw())) {
                    DebugTrace("GetElementQ - Found the name we were looking for", 2);
                    if (returnValue == 0 && toLowerAscii(clip(value)) == "submit") {
                        bool ok = act("submit");
                        DebugTrace("GetElementQ - Submitting form " + info.ELEMENTNAME.clipped() + "... "
                                + (ok ? "OK" : "Failed"),
                            2);
                        if (!reread())
                            break;
                    }
                }
            }

            // Any element can be clicked by its place in the walk, and is clicked once.
            if (clickingRecord && recordToClick == recordId) {
                bool ok = act("click");
                DebugTrace(std::string("GetElementQ - executing code for self.ClickByRecordID() - ")
                        + (ok ? "OK" : "Failed"),
                    2);
                if (!reread())
                    break;
            }

            if (queue) {
                ElementQueueRow row;
                row.RecordID = recordId;
                row.ElementName = info.ELEMENTNAME.clipped();
                row.ElementID = info.ELEMENTID.clipped();
                row.ElementType = info.ELEMENTTYPE.clipped();
                row.ElementTagName = info.ELEMENTTAGNAME.clipped();
                row.ElementValue = info.ELEMENTVALUE.clipped();
                row.CheckedStatus = info.CHECKEDSTATUS;
                queue->push_back(std::move(row));
            }
            ++recordId;
        }
    }
    return result;
}

void FeBrowser::SetValueByName(
    std::string_view name, std::string_view value, std::int32_t frame, std::int32_t dupNumber)
{
    DebugTrace("SetValueByName: DuplicateNameNumber = " + std::to_string(dupNumber), 2);
    GetElementQ("", name, value, std::to_string(dupNumber), nullptr, 1, frame, 0, 0, 0);
}

std::uint8_t FeBrowser::ClickByName(std::string_view name, std::int32_t frame, std::int32_t dupNumber)
{
    SetValueByName(name, clickButton, frame, dupNumber);
    return 0;
}

std::uint8_t FeBrowser::ClickByRecordID(std::int32_t recordId, std::int32_t frame)
{
    SetValueByName(std::to_string(recordId), clickByRecordId, frame, 0);
    return 0;
}

std::string FeBrowser::GetValueByName(std::string_view name, std::int32_t frame)
{
    return GetElementQ("", name, "", "", nullptr, 1, frame, 1, 1, 0);
}

void FeBrowser::SubmitForm(std::string_view formName, std::uint8_t all, std::int32_t frame)
{
    GetElementQ("form", all != 0 ? std::string_view {} : formName, "submit", "", nullptr, 0, frame, 1, 0,
        all != 0 ? 1 : 0);
}

namespace {

// The input element of the page with this id, to be released by the caller.
std::optional<ObjectHandle> inputById(DocumentBridge& bridge, std::string_view id)
{
    BridgeResult document = bridge.document();
    if (!document.ok() || !document.value.isHandle() || clip(id).empty())
        return std::nullopt;
    BridgeResult element = bridge.invoke(
        document.value.toHandle(), "getElementById", { JsValue::string(std::string(id.substr(0, 256))) });
    if (!element.ok() || !element.value.isHandle())
        return std::nullopt;
    BridgeResult tag = bridge.get(element.value.toHandle(), "tagName");
    if (!tag.ok() || toLowerAscii(tag.value.text()) != "input") {
        bridge.release(element.value.toHandle());
        return std::nullopt;
    }
    return element.value.toHandle();
}

} // namespace

void FeBrowser::SetValueByID(std::string_view id, std::string_view value)
{
    DebugTrace("FeBrowser.SetValueByID - Top", 2);
    DocumentBridge* bridge = get_Document();
    if (CORECONTROL == 0 || !bridge)
        return;
    std::optional<ObjectHandle> input = inputById(*bridge, id);
    if (!input)
        return;
    if (!clip(value).empty()
        && bridge->put(*input, "value", JsValue::string(std::string(value.substr(0, 256)))).ok())
        DebugTrace("FeBrowser.SetValueByID - Done", 2);
    bridge->release(*input);
}

std::string FeBrowser::GetValueByID(std::string_view id)
{
    DocumentBridge* bridge = get_Document();
    if (CORECONTROL == 0 || !bridge)
        return {};
    std::optional<ObjectHandle> input = inputById(*bridge, id);
    if (!input)
        return {};
    BridgeResult value = bridge->get(*input, "value");
    bridge->release(*input);
    std::string text = value.ok() ? value.value.text() : std::string();
    DebugTrace("GetValueByID - Value is " + text, 2);
    return text;
}

std::int32_t FeBrowser::FrameCount()
{
    DocumentBridge* bridge = get_Document();
    return CORECONTROL == 0 || !bridge ? 0 : FrameDocument::frameCount(*bridge);
}

std::string FeBrowser::FrameName(std::int32_t frame)
{
    DocumentBridge* bridge = get_Document();
    if (CORECONTROL == 0 || !bridge)
        return {};
    std::optional<ObjectHandle> window = FrameDocument::frameWindow(*bridge, frame);
    if (!window)
        return {};
    BridgeResult name = bridge->get(*window, "name");
    bridge->release(*window);
    return name.ok() ? name.value.text().substr(0, 128) : std::string();
}

} // namespace tvrn2
