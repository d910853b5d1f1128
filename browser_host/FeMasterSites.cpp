// FeMaster (see FeMaster.cpp for the whole): the sites that host controls
// in a window: setting up and ending hosting, size, focus and visibility.

#include "browser_host/FeMaster.h"
#include "browser_host/FeProcess.h"
#include "browser_host/FeSiteObjects.h"
#include "platform/SystemInfo.h"
#include "platform/Window.h"

#include <algorithm>

namespace tvrn2 {
namespace {

// InitOLE2 walks the register with a one-byte position counter.
constexpr std::size_t maxObjectQRecords = 255;

std::intptr_t callerWindowHandle()
{
    Window* window = Window::current();
    return window ? windowHandleOf(*window) : 0;
}

std::string number(std::intptr_t value)
{
    return std::to_string(value);
}

} // namespace

std::uint8_t FeMaster::InitOLE2(
    std::int32_t control, std::int32_t windowHandle, std::int32_t clientHandle, std::string_view identifier)
{
    int errors = 0;
    auto& queue = ObjectQ();

    // 1. Handles.
    std::intptr_t window = windowHandle;
    if (window == 0) {
        window = callerWindowHandle();
        Trace("InitOLE2 - Prop:Handle == " + number(window));
    } else {
        Trace("InitOLE2 - Prop:Handle = " + number(window) + " [passed]");
    }
    std::intptr_t client = clientHandle;
    if (client == 0) {
        client = callerWindowHandle();
        Trace("InitOLE2 - Prop:ClientHandle == " + number(client));
    } else {
        Trace("InitOLE2 - Prop:ClientHandle == " + number(client) + " [passed]");
    }

    if (queue.size() >= maxObjectQRecords) {
        // One more record could not be told apart by the scan; nothing is created.
        Trace("InitOLE2 - Failed, ObjectQ is full");
        return 1;
    }

    // 2. Scan the register.
    Trace("InitOLE2 - Checking ObjectQ");
    const std::int32_t thread = static_cast<std::int32_t>(currentThreadId());
    const ObjectQRecord* threadRecord = nullptr;
    const ObjectQRecord* windowRecord = nullptr;
    if (queue.empty()) {
        Trace("InitOLE2 - Checking ObjectQ, Records in Q = 0");
    } else {
        Trace("InitOLE2 - Records in ObjectQ = " + number(queue.size()) + ", looking for thread "
            + number(thread));
        for (const auto& record : queue) {
            Trace("InitOLE2 - Scanning ObjectQ: Thread " + number(record.ACTIVETHREAD));
            if (record.ACTIVETHREAD != thread)
                continue;
            threadRecord = &record;
            Trace("InitOLE2 - Objects found for this thread, checking for objects on this window...");
            if (record.WINHANDLE == window) {
                windowRecord = &record;
                Trace("InitOle2 - Objects found for this window");
                break;
            }
        }
    }

    // 3. Frame and container.
    if (threadRecord) {
        Trace("InitOle2 - Using existing OleFrame and OleContainer for this thread");
        if (errors == 0) {
            if (threadRecord->OLEFRAME == 0) {
                Trace("InitOle2 - Failed, ObjectQ.OleFrame = 0");
                ++errors;
            } else {
                OLEFRAME = threadRecord->OLEFRAME;
                Trace("InitOle2 - OleFrame ready");
            }
            if (threadRecord->OLECONTAINER == 0) {
                Trace("InitOle2 - Failed, ObjectQ.OleContainer = 0");
                ++errors;
            } else {
                OLECONTAINER = threadRecord->OLECONTAINER;
                Trace("InitOle2 - OleContainer ready");
            }
        }
    } else {
        Trace("InitOle2 - Instantiating new OleFrame and OleContainer for this thread");
        if (errors == 0) {
            Trace("InitOle2 - new(OLEFrame)");
            OLEFRAME = addSiteObject(std::make_unique<OleFrame>());
            Trace("InitOle2 - OLEFrame ready");
            Trace("InitOle2 - new(OLEContainer)");
            OLECONTAINER = addSiteObject(std::make_unique<OleContainer>());
            Trace("InitOle2 - OleContainer ready");
        }
        if (errors != 0)
            Trace(
                "InitOLE2 - Entry scrapped from ObjectQ, " + number(queue.size()) + " records now in queue");
    }

    // 4. Document.
    if (windowRecord) {
        Trace("InitOle2 - Using existing OleDocument for this window");
        if (errors == 0) {
            if (windowRecord->OLEDOC == 0) {
                Trace("InitOle2 - Failed, ObjectQ.OleDoc = 0");
                ++errors;
            } else {
                OLEDOC = windowRecord->OLEDOC;
                Trace("InitOle2 - OleDoc ready");
            }
        }
    } else {
        Trace("InitOle2 - Instantiating new OleDocument for this window");
        if (errors == 0) {
            Trace("InitOLE2 - new(OleDoc)");
            OLEDOC = addSiteObject(std::make_unique<OleDoc>());
            Trace("InitOLE2 - OleDoc ready");
        }
    }

    // 5. Client site.
    ClientSite* site = nullptr;
    if (errors == 0) {
        Trace("InitOLE2 - new(ClientSite)");
        CLIENTSITE = addSiteObject(std::make_unique<ClientSite>());
        site = siteObject<ClientSite>(CLIENTSITE);
        Trace("InitOLE2 - ClientSite ready");
        if (OBJECTTYPE == "html2")
            site->EDITMODE = 1;
        Trace("InitOLE2 - self.ClientSite = " + number(CLIENTSITE));
    }

    // 6. Register, whatever happened, so that KillOLE2 releases what was made.
    bool newThread = threadRecord == nullptr;
    bool newWindow = windowRecord == nullptr;
    queue.push_back({ thread, window, client, OLEDOC, OLEFRAME, OLECONTAINER });
    Trace("InitOLE2 - New entry added to ObjectQ, " + number(queue.size()) + " records now in queue");
    Trace("InitOLE2 - ObjectQ [ " + number(OLEFRAME) + " - " + number(OLECONTAINER) + " - " + number(thread)
        + " - " + number(window) + " - " + number(OLEDOC));

    // 7. A new frame and container are bound to the window.
    if (newThread && errors == 0) {
        if (auto* frame = siteObject<OleFrame>(OLEFRAME);
            frame && frame->IsInitialized(window, OLECONTAINER)) {
            Trace("InitOLE2 - OleFrame.IsInitialized (off Win, not Frame) - done");
        } else {
            Trace("InitOLE2 - Failed on OleFrame.IsInitialized");
            ++errors;
        }
        if (errors == 0) {
            if (auto* container = siteObject<OleContainer>(OLECONTAINER);
                container && container->Init(OLEFRAME)) {
                Trace("InitOLE2 - OleContainer.Init -OK");
            } else {
                Trace("InitOLE2 - Failed on OleContainer.Init");
                ++errors;
            }
        }
    }

    // 8. A new document is bound to the client area.
    if (newWindow && errors == 0) {
        Trace("InitOLE2 - OleDoc.Init...");
        auto* document = siteObject<OleDoc>(OLEDOC);
        if (document && document->Init(client))
            Trace("InitOLE2 - OleDoc.Init... -done");
        else
            ++errors;
    }

    // 9. The client site.
    if (errors == 0) {
        Trace("InitOLE2 - ClientSite.Init...");
        if (site->Init(client, OLEDOC, OLEFRAME))
            Trace("InitOLE2 - ClientSite.Init... -done");
        else
            ++errors;
    }

    // 10. The site rectangle: the placeholder's place in pixels.
    if (errors == 0) {
        PixelRect rect = controlPixelRect(*site->window(), control);
        Trace("InitOLE2 - ClientSite.SetObjectRect...");
        site->SetObjectRect(rect);
        Trace("InitOLE2 - ClientSite.SetObjectRect -done");
    }

    // 11. The control itself.
    std::string_view wanted = clip(identifier);
    if (errors == 0 && !wanted.empty()) {
        Trace("InitOLE2 - ClientSite.CreateControl...");
        Trace("!" + std::string(wanted) + "!");
        Trace("!!");
        Trace("!1!");
        std::shared_ptr<HostedWebView> created = site->CreateControl(1, wanted, "");
        if (created) {
            Trace("InitOLE2 - ClientSite.CreateControl -okay");
            if (OBJECTTYPE == "html3") {
                // The web browser is the one interface the created control offers.
                Trace("InitOLE2 - new(WebBrowser2)");
                CORECONTROL = addSiteObject(std::make_unique<WebBrowser2>(created));
            } else if (OBJECTTYPE == "html2"
                || (OBJECTTYPE == "media" && (MPVERSIONNUMBER == 9 || MPVERSIONNUMBER == 6))) {
                // A web browser offers neither the editing nor the media interface.
                ++errors;
            }
        } else {
            Trace("InitOLE2 - ClientSite.CreateControl -failed");
        }
    }

    // 12. The placeholder goes out of sight, whatever happened.
    if (Window* host = windowOfHandle(window)) {
        if (Control* placeholder = host->control(CURRENTCONTROL); placeholder && !placeholder->hidden())
            placeholder->setHidden(true);
    }

    return static_cast<std::uint8_t>(std::min(errors, 255));
}

std::uint8_t FeMaster::KillOLE2()
{
    auto releaseDocument = [this](std::intptr_t document) {
        if (document == 0 || !findSiteObject(document)) {
            Trace("KillOLE2 - Disposing Per-Window Objects...  - OleDoc - already done");
            return;
        }
        Trace("KillOLE2 - Disposing Per-Window Objects...  - OleDoc...");
        Trace("KillOLE2 - !OleDoc.Release");
        Trace("KillOLE2 - dispose(OleDoc)");
        releaseSiteObject(document);
        Trace("KillOLE2 - Disposing Per-Window Objects...  - OleDoc...  - done");
    };

    // 1. Per-object.
    Trace("KillOLE2 - Disposing Per-Object Objects...");
    if (CLIENTSITE != 0) {
        Trace("KillOLE2 - Disposing Per-Object Objects...  - ClientSite...");
        Trace("KillOLE2 - self.ClientSite = " + number(CLIENTSITE));
        Trace("KillOLE2 - !DESTRUCT(ClientSite)");
        Trace("KillOLE2 - !ClientSite.Release");
        Trace("KillOLE2 - dispose(ClientSite)");
        releaseSiteObject(CLIENTSITE);
        Trace("KillOLE2 - Disposing Per-Object Objects...  - ClientSite...  - done");
        CLIENTSITE = 0;
    } else {
        Trace("KillOLE2 - Disposing Per-Object Objects...  - ClientSite - already done");
    }

    // 2. Per-thread.
    auto& queue = ObjectQ();
    Trace("KillOLE2 - Disposing Per-Thread Objects...");
    Trace("KillOLE2 - Records in ObjectQ = " + number(queue.size()));
    if (queue.empty())
        return 0;

    // 3. The record to remove. The thread's first record may name another
    // window's document; removing that one while destroying ours would leave
    // a record whose document is gone. So take this object's own record
    // (its window and document) when there is one.
    const std::int32_t thread = static_cast<std::int32_t>(currentThreadId());
    const std::intptr_t window = callerWindowHandle();
    auto ofThread = [thread](const ObjectQRecord& record) { return record.ACTIVETHREAD == thread; };
    auto position = std::find_if(queue.begin(), queue.end(), [&](const ObjectQRecord& record) {
        return ofThread(record) && record.WINHANDLE == window && record.OLEDOC == OLEDOC;
    });
    if (position == queue.end()) {
        position = std::find_if(queue.begin(), queue.end(),
            [&](const ObjectQRecord& record) { return ofThread(record) && record.OLEDOC == OLEDOC; });
    }
    if (position == queue.end())
        position = std::find_if(queue.begin(), queue.end(), ofThread);
    if (position == queue.end())
        return 0;

    // 4. Counts.
    auto threadCount = std::count_if(queue.begin(), queue.end(), ofThread);
    auto windowCount = std::count_if(queue.begin(), queue.end(),
        [&](const ObjectQRecord& record) { return ofThread(record) && record.WINHANDLE == window; });
    // An object with no document of its own (the process-end scratch object)
    // releases the document of the record it removes.
    std::intptr_t document = OLEDOC != 0 ? OLEDOC : position->OLEDOC;
    bool documentShared = std::count_if(queue.begin(), queue.end(), [&](const ObjectQRecord& record) {
        return record.OLEDOC == document;
    }) > 1;

    if (threadCount > 1) {
        // 5. Other controls remain on this thread: frame and container stay.
        // Never a document another record still names.
        if (windowCount == 1 && !documentShared) {
            Trace("KillOLE2 - Other objects found on this thread, but not on this window, killing window "
                  "objects...");
            releaseDocument(document);
            Trace("KillOLE2 - Other objects found on this thread, but not on this window, killing window "
                  "objects -done");
        }
        queue.erase(position);
        return 0;
    }

    // 6. The thread's last control.
    ObjectQRecord record = *position;
    Trace("KillOLE2 - No other objects found on this thread, killing window objects...");
    releaseDocument(document);
    Trace("KillOLE2 - No other objects found on this thread, killing window objects... -done");
    if (record.OLECONTAINER != 0 && findSiteObject(record.OLECONTAINER)) {
        Trace("KillOLE2 - dispose(OleContainer)");
        releaseSiteObject(record.OLECONTAINER);
    } else {
        Trace("KillOLE2 - Disposing Per-Thread Objects...  - OleContainer - already done");
    }
    if (record.OLEFRAME != 0 && findSiteObject(record.OLEFRAME)) {
        Trace("KillOLE2 - dispose(OleFrame)");
        releaseSiteObject(record.OLEFRAME);
    } else {
        Trace("KillOLE2 - Disposing Per-Thread Objects...  - OleFrame - already done");
    }
    queue.erase(position);
    Trace("KillOLE2 - Deleted record from ObjectQ, Records = " + number(queue.size()));
    return 0;
}

void FeMaster::Resize(std::int32_t control, std::uint8_t useCurrent, std::int32_t dLeft, std::int32_t dTop,
    std::int32_t dRight, std::int32_t dBottom)
{
    if (CONTROLSETTOHIDDEN == 1)
        return;
    if (useCurrent != 0 || control == 0)
        control = CURRENTCONTROL;
    auto* site = siteObject<ClientSite>(CLIENTSITE);
    if (control == 0 || !site || !site->window())
        return;
    PixelRect place = controlPixelRect(*site->window(), control);
    PixelRect rect;
    rect.left = place.left + dLeft;
    rect.top = place.top + dTop;
    if (dLeft == -1 && dTop == -1 && dRight == -1 && dBottom == -1) {
        rect.right = rect.left;
        rect.bottom = rect.top;
    } else {
        rect.right = place.right + dRight;
        rect.bottom = place.bottom + dBottom;
    }
    site->SetObjectRect(rect);
}

void FeMaster::TakeFocus(std::int32_t handle)
{
    if (handle > 0) {
        focusHandle(handle);
        return;
    }
    if (auto* site = siteObject<ClientSite>(CLIENTSITE); site && site->controlHandle() > 0)
        focusHandle(site->controlHandle());
}

void FeMaster::HideControl()
{
    Resize(0, 1, -1, -1, -1, -1);
    CONTROLSETTOHIDDEN = 1;
}

void FeMaster::UnhideControl()
{
    CONTROLSETTOHIDDEN = 0;
    Resize(0, 1, 0, 0, 0, 0);
}

} // namespace tvrn2
