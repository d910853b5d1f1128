// FeBrowser (see FeBrowser.cpp for the whole): page elements: the element
// queue, filling and clicking by name or identifier, reading values, forms
// and frames.

#include "browser_host/FeBrowser.h"
#include "browser_host/FrameDocument.h"
#include "platform/TextCase.h"
#include "platform/webkit/DocumentBridge.h"

#include <array>
#include <charconv>
#include <glib.h>

namespace tvrn2 {
namespace {

constexpr std::string_view noDataToReturn = "No data to return";
constexpr std::string_view clickButton = "__clickbutton";
constexpr std::string_view clickByRecordId = "__clickbyrecordid";
constexpr std::array<std::string_view, 8> allTagNames
    = { "body", "div", "form", "input", "meta", "select", "textarea", "img" };

// One element as the page script reports it (see bridge.js).
struct PageElement {
    std::size_t index { 0 }; // in its tag's collection
    std::string kind, tagName, id, className, type, name, value;
    bool checked { false };
    bool readOnly { false };
};

// A tag's collection: its length when read, and the elements described, in
// index order. A large page comes in parts: then the reading ends with this
// tag, and the rest of it is read from resumeAt on.
struct TagReading {
    std::size_t length { 0 };
    std::vector<PageElement> elements;
    std::optional<std::size_t> resumeAt;
};

// The walk's reading of the page: one entry per tag from some tag on.
using WalkReading = std::vector<TagReading>;

std::optional<TagReading> decodeTag(std::string_view text)
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
    auto number = [](std::string_view digits, std::size_t& value) {
        return std::from_chars(digits.data(), digits.data() + digits.size(), value).ec == std::errc();
    };
    if (records.empty() || records.front().size() != 1)
        return std::nullopt;
    TagReading tag;
    if (!number(records.front().front(), tag.length))
        return std::nullopt;
    for (std::size_t i = 1; i < records.size(); ++i) {
        const auto& f = records[i];
        if (f.size() == 1 && i + 1 == records.size()) {
            std::size_t resumeAt = 0;
            if (!number(f[0], resumeAt) || resumeAt >= tag.length
                || (!tag.elements.empty() && resumeAt <= tag.elements.back().index))
                return std::nullopt;
            tag.resumeAt = resumeAt;
            break;
        }
        PageElement element;
        if (f.size() != 10 || !number(f[0], element.index)
            || (!tag.elements.empty() && element.index <= tag.elements.back().index))
            return std::nullopt;
        element.kind = f[1];
        element.tagName = f[2];
        element.id = f[3];
        element.className = f[4];
        element.type = f[5];
        element.name = f[6];
        element.value = f[7];
        element.checked = f[8] == "1";
        element.readOnly = f[9] == "1";
        tag.elements.push_back(std::move(element));
    }
    return tag;
}

// Groups of tags, each ending with \x1d.
std::optional<WalkReading> decodeReading(std::string_view text)
{
    WalkReading reading;
    while (!text.empty()) {
        auto end = text.find('\x1d');
        if (end == std::string_view::npos)
            return std::nullopt;
        std::optional<TagReading> tag = decodeTag(text.substr(0, end));
        if (!tag)
            return std::nullopt;
        reading.push_back(std::move(*tag));
        text.remove_prefix(end + 1);
        if (reading.back().resumeAt && !text.empty())
            return std::nullopt; // nothing follows a part
    }
    return reading;
}

std::optional<WalkReading> decodeReading(const BridgeResult& answer)
{
    return answer.ok() ? decodeReading(answer.value.text()) : std::nullopt;
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

// A fill by name as the page makes it (see fillByName in bridge.js): the
// same choices as GetElementQ's walk, none for a blank name; nothing for a
// name that is not UTF-8, which the page could not compare byte for byte.
std::optional<FillPlan> fillPlan(
    std::string_view name, const std::string& updateValue, long dupNameTarget, std::string_view value)
{
    std::string_view wanted = clip(name);
    if (!g_utf8_validate(wanted.data(), static_cast<gssize>(wanted.size()), nullptr))
        return std::nullopt;
    FillPlan plan;
    plan.nameKey = toLowerAscii(wanted);
    plan.value = updateValue;
    plan.duplicateTarget = dupNameTarget;
    plan.click = updateValue == clickButton;
    // The number goes to a check box as a 16-bit boolean: 0 clears it.
    plan.check = static_cast<std::int16_t>(leadingNumber(updateValue)) != 0;
    plan.submit = toLowerAscii(clip(value)) == "submit";
    return plan;
}

void fillInPage(DocumentBridge& bridge, std::optional<ObjectHandle> document,
    const std::vector<std::string>& tags, const FillPlan& plan)
{
    if (plan.nameKey.empty())
        return; // a blank name names nothing
    // Writing and ticking has nothing to answer, so the fill goes to the page
    // without a wait for it: the next call into the page comes after it (in
    // a burst of fills the page does them back to back, and the page draws
    // once for them instead of once per field). A click or a submit may
    // leave the page, and is waited for, one call per part as before.
    if (!plan.click && !plan.submit) {
        bridge.postFill(document, tags, plan);
        return;
    }
    FillPlace place;
    for (;;) {
        BridgeResult answer = bridge.fill(document, tags, plan, place);
        if (!answer.ok() || answer.value.text().empty())
            return;
        std::optional<FillPlace> next = DocumentBridge::decodeFillPlace(answer.value.text());
        if (!next || next->tag < place.tag || (next->tag == place.tag && next->index <= place.index))
            return;
        place = *next;
    }
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

    // The page's own document needs no handle (the page script knows it),
    // which saves a round trip on every call.
    std::optional<FrameDocument> frameDocument;
    std::optional<ObjectHandle> document;
    if (frame > 0) {
        frameDocument.emplace(*bridge, frame, TEMPDISPOBJECTHOLDER);
        if (!*frameDocument)
            return result;
        document = frameDocument->handle();
    }

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

    // Unless every element ends up in a queue, is counted for a click by its
    // place, matches anyway or has its class traced, only elements carrying
    // the name matter, and the page describes just those: filling a form
    // field by name then copies one element, not the whole page.
    std::optional<std::string> onlyNamed;
    if (!queue && !clickingRecord && matchAll == 0 && DEBUGGING < 2)
        onlyNamed = std::string(name);

    // A fill by name is decided in the page itself, with the choices made
    // below, in one call (one per part of a large page) instead of a reading
    // and one more call per action.
    if (onlyNamed && updateValue && !clickingRecord) {
        if (std::optional<FillPlan> plan = fillPlan(name, *updateValue, dupNameTarget, value)) {
            fillInPage(*bridge, document, tags, *plan);
            return result;
        }
    }

    // All passes are read in one call. Whatever the walk writes or clicks may
    // change the page, so each action brings back the rest as it is after it.
    std::optional<WalkReading> reading = decodeReading(bridge->walk(document, tags, 0, 0, onlyNamed));
    std::size_t readFrom = 0; // the tag of reading->front()

    for (std::size_t position = 0; position < tags.size(); ++position) {
        const std::string& tag = tags[position];
        DebugTrace("GetElementQ - TempTagName = " + tag, 2);
        if (!reading) {
            reading = decodeReading(bridge->walk(document, tags, position, 0, onlyNamed));
            readFrom = position;
        }
        if (!reading || position - readFrom >= reading->size()) {
            reading.reset();
            DebugTrace("GetElementQ - Unable to read the collection of " + tag, 2);
            continue;
        }
        const TagReading* pass = &(*reading)[position - readFrom];
        const std::size_t length = pass->length;
        DebugTrace("GetElementQ - Items in collection = " + std::to_string(length), 2);
        const std::int32_t firstRecordId = recordId;
        std::size_t visited = 0; // elements of the pass visited to the end, for the record ids
        // The rest of a large pass comes in a call of its own.
        auto nextPart = [&] {
            if (!pass->resumeAt || *pass->resumeAt >= length)
                return false;
            reading = decodeReading(bridge->walk(document, tags, position, *pass->resumeAt, onlyNamed));
            readFrom = position;
            if (!reading || reading->empty()) {
                reading.reset();
                return false;
            }
            pass = &reading->front();
            return true;
        };
        for (std::size_t at = 0;; ++at) {
            if (at == pass->elements.size() && nextPart())
                at = 0;
            if (at >= pass->elements.size() || pass->elements[at].index >= length)
                break;
            const PageElement* element = &pass->elements[at];
            const std::size_t index = element->index;
            const auto elementRecordId = firstRecordId + static_cast<std::int32_t>(index);
            bool acted = false;
            auto act = [&](std::string_view action, const JsValue& argument = {}) {
                BridgeResult answer
                    = bridge->act(document, tags, position, index, action, argument, onlyNamed);
                std::string_view text
                    = answer.ok() ? std::string_view(answer.value.text()) : std::string_view {};
                acted = true;
                if (text.size() < 2 || text[1] != '\x1d') {
                    reading.reset();
                    return false;
                }
                reading = decodeReading(text.substr(2));
                readFrom = position;
                return text[0] == '1';
            };
            // Goes on with the element as it is after the action; the pass
            // ends when it is gone.
            auto reread = [&] {
                if (!acted)
                    return true;
                acted = false;
                if (!reading || reading->empty() || reading->front().elements.empty()
                    || reading->front().elements.front().index != index)
                    return false;
                pass = &reading->front();
                at = 0;
                element = &pass->elements.front();
                return true;
            };
            ElementInfo info;
            info.ELEMENTTAGNAME = element->tagName;
            info.ELEMENTID = element->id;
            DebugTrace("GetElementQ - ClassName = " + element->className, 2);
            bool nameMatch = false;
            const std::string kind = element->kind; // a copy: an action replaces the reading
            bool clickable = !clickingRecord && updateValue.has_value();

            if (kind == "input" || kind == "select" || kind == "textarea" || kind == "file"
                || kind == "image") {
                info.ELEMENTNAME = element->name;
                nameMatch = matchAll == 0 && !clickingRecord && sameName(name, info.ELEMENTNAME.raw());
                if (nameMatch)
                    DebugTrace("GetElementQ - Matched the name we were looking for", 2);
                bool chosen = nameMatch && selected();
                bool checkbox = kind == "input" && toLowerAscii(element->type) == "checkbox";
                // Type and state are read before the walk acts on the element;
                // only its value is read again afterwards.
                const std::string typeBefore = element->type;
                const bool checkedBefore = element->checked;
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
                    info.ELEMENTTYPE = typeBefore;
                if (checkbox)
                    info.CHECKEDSTATUS = checkedBefore ? 1 : 0;
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
            if (clickingRecord && recordToClick == elementRecordId) {
                bool ok = act("click");
                DebugTrace(std::string("GetElementQ - executing code for self.ClickByRecordID() - ")
                        + (ok ? "OK" : "Failed"),
                    2);
                if (!reread())
                    break;
            }

            if (queue) {
                ElementQueueRow row;
                row.RecordID = elementRecordId;
                row.ElementName = info.ELEMENTNAME.clipped();
                row.ElementID = info.ELEMENTID.clipped();
                row.ElementType = info.ELEMENTTYPE.clipped();
                row.ElementTagName = info.ELEMENTTAGNAME.clipped();
                row.ElementValue = info.ELEMENTVALUE.clipped();
                row.CheckedStatus = info.CHECKEDSTATUS;
                queue->push_back(std::move(row));
            }
            visited = index + 1;
        }
        // Record ids count every element of the pass up to where it ended.
        recordId = firstRecordId + static_cast<std::int32_t>(onlyNamed ? length : visited);
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
