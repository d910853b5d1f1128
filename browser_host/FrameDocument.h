#pragma once

#include "platform/webkit/DocumentBridge.h"

#include <cstdint>
#include <optional>

namespace tvrn2 {

// The document one call works on: the page's own (frame 0) or that of the
// page's n-th frame (from 1). A frame's objects are held only while the call
// runs and released when this goes, and `holder` names the frame document
// meanwhile. A frame past the last one, or one whose document the page may
// not reach (another origin), gives no document.
class FrameDocument {
public:
    FrameDocument(DocumentBridge& bridge, std::int32_t frame, std::intptr_t& holder);
    ~FrameDocument();
    FrameDocument(const FrameDocument&) = delete;
    FrameDocument& operator=(const FrameDocument&) = delete;

    explicit operator bool() const { return m_document.has_value(); }
    ObjectHandle handle() const { return *m_document; }

    // The number of frames of the page; 0 when it has none or cannot say.
    static std::int32_t frameCount(DocumentBridge& bridge);
    // The window of frame n (from 1), to be released by the caller.
    static std::optional<ObjectHandle> frameWindow(DocumentBridge& bridge, std::int32_t frame);

private:
    DocumentBridge& m_bridge;
    std::intptr_t& m_holder;
    std::optional<ObjectHandle> m_document;
    std::optional<ObjectHandle> m_frameWindow;
};

} // namespace tvrn2
