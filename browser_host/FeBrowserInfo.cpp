// FeBrowser (see FeBrowser.cpp for the whole): document queries: GetInfo,
// the document's text and details, its pictures and the selection.

#include "browser_host/FeBrowser.h"
#include "browser_host/FrameDocument.h"
#include "browser_host/HtmlGraphicsScan.h"
#include "platform/webkit/DocumentBridge.h"
#include "platform/webkit/WebView.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace tvrn2 {
namespace {

constexpr std::string_view noDataToReturn = "No data to return";

// The request code of GetInfo: a decimal number and nothing else, or -1.
int requestCode(std::string_view request)
{
    request = trim(request);
    int code = -1;
    auto [end, error] = std::from_chars(request.data(), request.data() + request.size(), code);
    return error == std::errc() && end == request.data() + request.size() ? code : -1;
}

std::string asText(const JsValue& value)
{
    switch (value.kind()) {
    case JsValue::Kind::String:
        return value.text();
    case JsValue::Kind::Number: {
        double number = value.toNumber();
        if (std::isfinite(number) && number == std::trunc(number))
            return std::to_string(static_cast<long long>(number));
        return std::to_string(number);
    }
    case JsValue::Kind::Boolean:
        return value.toBoolean() ? "-1" : "0";
    case JsValue::Kind::Undefined:
    case JsValue::Kind::Null:
    case JsValue::Kind::Json:
    case JsValue::Kind::Handle:
        return {};
    }
    return {};
}

} // namespace

std::string FeBrowser::GetInfo(std::string_view request, std::int32_t frame)
{
    std::string result(noDataToReturn);
    WebView* view = webView();
    if (CORECONTROL == 0 || !view)
        return result;
    auto keep = [](std::string& field, std::string_view text) -> const std::string& {
        field = std::string(clip(text));
        return field;
    };

    int code = requestCode(request);
    switch (code) {
    case 1:
        URL = keep(GETINFO_LOCATIONURL, view->uri());
        return GETINFO_LOCATIONURL;
    case 2:
        return keep(GETINFO_PAGETITLE, view->title());
    case 3: {
        // The type of what is shown, as the page tells it ("text/html").
        DocumentBridge& bridge = view->document();
        BridgeResult document = bridge.document();
        if (document.ok() && document.value.isHandle()) {
            BridgeResult type = bridge.get(document.value.toHandle(), "contentType");
            if (type.ok())
                keep(GETINFO_DOCUMENTTYPE, asText(type.value));
        }
        return GETINFO_DOCUMENTTYPE;
    }
    case 4:
        BUSY = 1;
        BUSY = view->loading() ? 1 : 0;
        return BUSY ? "1" : "0";
    default:
        break;
    }

    struct Property {
        int code;
        const char* name;
        std::string* field; // null for the offsets, which are only returned
    };
    const Property properties[] = { { 5, "innerText", &GETINFO_INNERTEXT },
        { 6, "outerText", &GETINFO_OUTERTEXT }, { 7, "innerHTML", &GETINFO_INNERHTML },
        { 8, "outerHTML", &GETINFO_OUTERHTML }, { 9, "className", &GETINFO_CLASSNAME },
        { 10, "id", &GETINFO_ID }, { 11, "tagName", &GETINFO_TAGNAME }, { 15, "language", &GETINFO_LANGUAGE },
        { 16, "lang", &GETINFO_LANG }, { 17, "offsetLeft", nullptr }, { 18, "offsetTop", nullptr },
        { 19, "offsetWidth", nullptr }, { 20, "offsetHeight", nullptr } };
    const Property* property = nullptr;
    for (const Property& candidate : properties) {
        if (candidate.code == code)
            property = &candidate;
    }
    if (!property)
        return result;

    long long offset = 0;
    DocumentBridge& bridge = view->document();
    {
        FrameDocument document(bridge, frame, TEMPDISPOBJECTHOLDER);
        if (document) {
            BridgeResult root = bridge.get(document.handle(), "documentElement");
            if (root.ok() && root.value.isHandle()) {
                BridgeResult read = bridge.get(root.value.toHandle(), property->name);
                if (read.ok() && property->field)
                    keep(*property->field, asText(read.value));
                else if (read.ok() && read.value.kind() == JsValue::Kind::Number)
                    offset = static_cast<long long>(read.value.toNumber());
            }
        }
    }
    return property->field ? *property->field : std::to_string(offset);
}

std::string FeBrowser::GetInfoText(std::string_view request, std::int32_t frame)
{
    return GetInfo(request, frame).substr(0, 255);
}

void FeBrowser::RefreshDocumentInfo()
{
    URL = GetInfo("1", 0);
    GetInfo("2", 0);
    GetInfo("3", 0);
    GetInfo("4", 0);
}

void FeBrowser::GetHtmlGraphicsInfo(std::string_view text)
{
    if (clip(text).empty())
        return;
    HtmlGraphicsScan scan;
    if (ROOTFOLDER.blank()) {
        std::error_code error;
        ROOTFOLDER = std::filesystem::current_path(error).string();
    }
    scan.rootFolder = ROOTFOLDER.clipped();
    scan.pageFolder = [this] {
        RefreshDocumentInfo();
        return FileUrlFolder(URL.clipped());
    };
    if (DEBUGGING >= 2)
        scan.trace = [this](std::string_view line) { DebugTrace(line, 2); };
    HtmlGraphicsScan::Result found = scan.run(text);
    GRAPHICSLIST = found.list;
    SOURCE = found.source;
    m_graphicsConsumed = found.consumed;
}

void FeBrowser::GetHtmlGraphicsInfo(char* address, std::int32_t length)
{
    if (!address || length <= 0)
        return;
    std::string_view text(address, strnlen(address, static_cast<std::size_t>(length)));
    m_graphicsConsumed = 0;
    // The scan only reads the text, so it runs on the buffer itself: no copy
    // of what may be a very large page.
    GetHtmlGraphicsInfo(text);
    // The scan ate the buffer up to its last rewritten reference.
    std::size_t rest = text.size() - m_graphicsConsumed;
    std::memmove(address, address + m_graphicsConsumed, rest);
    if (rest < static_cast<std::size_t>(length))
        address[rest] = '\0';
}

void FeBrowser::SelectionRange(std::uint8_t mode, std::optional<std::string_view> html)
{
    WebView* view = webView();
    if (CORECONTROL == 0 || !view)
        return;
    DocumentBridge& bridge = view->document();
    std::vector<ObjectHandle> taken;
    auto object = [&](const BridgeResult& result) -> std::optional<ObjectHandle> {
        if (!result.ok() || !result.value.isHandle())
            return std::nullopt;
        taken.push_back(result.value.toHandle());
        return taken.back();
    };
    auto step = [&](int number, bool ok) {
        DebugTrace("GetInfo: CP" + std::to_string(number) + (ok ? "" : " - failed"), 2);
        return ok;
    };

    [&] {
        BridgeResult documentResult = bridge.document();
        if (!step(1, documentResult.ok() && documentResult.value.isHandle()))
            return;
        ObjectHandle document = documentResult.value.toHandle();
        DebugTrace("GetInfo: CP2 - " + view->uri() + " - " + view->title(), 2);
        std::optional<ObjectHandle> selection = object(bridge.invoke(document, "getSelection"));
        if (!step(3, selection.has_value()))
            return;
        DebugTrace("GetInfo: CP4 - " + asText(bridge.get(*selection, "type").value), 2);
        BridgeResult count = bridge.get(*selection, "rangeCount");
        if (!step(5, count.ok() && count.value.toNumber() > 0))
            return;
        std::optional<ObjectHandle> range
            = object(bridge.invoke(*selection, "getRangeAt", { JsValue::number(0) }));
        if (!step(6, range.has_value()))
            return;
        if (mode == 1) {
            step(7,
                bridge.invoke(*selection, "removeAllRanges").ok()
                    && bridge.invoke(*selection, "addRange", { JsValue::handle(*range) }).ok());
        } else if (mode == 2 && html && !clip(*html).empty()) {
            std::optional<ObjectHandle> fragment = object(
                bridge.invoke(*range, "createContextualFragment", { JsValue::string(std::string(*html)) }));
            if (!step(8, fragment.has_value()))
                return;
            step(9,
                bridge.invoke(*range, "deleteContents").ok()
                    && bridge.invoke(*range, "insertNode", { JsValue::handle(*fragment) }).ok());
        }
    }();
    for (ObjectHandle handle : taken)
        bridge.release(handle);
}

} // namespace tvrn2
