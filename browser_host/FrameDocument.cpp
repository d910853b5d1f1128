#include "browser_host/FrameDocument.h"

#include <string>

namespace tvrn2 {

std::int32_t FrameDocument::frameCount(DocumentBridge& bridge)
{
    BridgeResult window = bridge.window();
    if (!window.ok() || !window.value.isHandle())
        return 0;
    BridgeResult length = bridge.get(window.value.toHandle(), "length");
    if (!length.ok() || length.value.kind() != JsValue::Kind::Number)
        return 0;
    return static_cast<std::int32_t>(length.value.toNumber());
}

std::optional<ObjectHandle> FrameDocument::frameWindow(DocumentBridge& bridge, std::int32_t frame)
{
    if (frame < 1 || frame > frameCount(bridge))
        return std::nullopt;
    BridgeResult window = bridge.window();
    if (!window.ok() || !window.value.isHandle())
        return std::nullopt;
    BridgeResult item = bridge.get(window.value.toHandle(), std::to_string(frame - 1));
    if (!item.ok() || !item.value.isHandle())
        return std::nullopt;
    return item.value.toHandle();
}

FrameDocument::FrameDocument(DocumentBridge& bridge, std::int32_t frame, std::intptr_t& holder)
    : m_bridge(bridge)
    , m_holder(holder)
{
    if (frame <= 0) {
        BridgeResult document = bridge.document();
        if (document.ok() && document.value.isHandle())
            m_document = document.value.toHandle();
        return;
    }
    m_frameWindow = frameWindow(bridge, frame);
    if (!m_frameWindow)
        return;
    BridgeResult document = bridge.get(*m_frameWindow, "document");
    if (document.ok() && document.value.isHandle()) {
        m_document = document.value.toHandle();
        m_holder = static_cast<std::intptr_t>(m_document->id);
    }
}

FrameDocument::~FrameDocument()
{
    if (!m_frameWindow)
        return;
    if (m_document)
        m_bridge.release(*m_document);
    m_bridge.release(*m_frameWindow);
    m_holder = 0;
}

} // namespace tvrn2
