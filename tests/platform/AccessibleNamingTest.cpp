#include "platform/AccessibleNaming.h"

#include "platform/Control.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

namespace tvrn2 {
namespace {

TEST(AccessibleNamingTest, CaptionsTextsPromptsAndTooltipsNameTheControls)
{
    Window window("Names", { -1, -1, 200, 120 });
    const int go = window.add(ControlKind::Button, "?GO", "&Go");
    const int saveAndQuit = window.add(ControlKind::Button, "?SAVE", "Save && &Quit");
    const int pick = window.add(ControlKind::Button, "?PICK", "...");
    window.control(pick)->setTooltip("Pick a file to view");
    const int bare = window.add(ControlKind::Button, "?BARE", "...");
    const int status = window.add(ControlKind::String, "?STATUS", "** Idle **");
    const int empty = window.add(ControlKind::String, "?EMPTY");
    const int addressText = window.add(ControlKind::String, "?ADDRESSTEXT", "Address:");
    const int address = window.add(ControlKind::Entry, "?ADDRESS");
    const int nameEntry = window.add(ControlKind::Entry, "?NAME");
    const int afterEntry = window.add(ControlKind::Entry, "?AFTERENTRY");
    const int namePrompt = window.add(ControlKind::Prompt, "?NAME:PROMPT", "&Name:");
    const int view = window.add(ControlKind::Container, "?VIEW");
    window.control(view)->setTooltip("The page");
    const int digest = window.add(ControlKind::String, "?DIGEST", "0123abcd");
    window.control(digest)->setAccessibleName("Digest");

    struct Case {
        int control;
        std::string name;
        int labelledBy;
    };
    const Case cases[] = {
        { go, "Go", 0 }, { saveAndQuit, "Save & Quit", 0 },
        { pick, "Pick a file to view", 0 }, // a caption of marks only gives way to the tooltip
        { bare, "...", 0 }, { status, "** Idle **", 0 }, { empty, "", 0 }, { addressText, "Address:", 0 },
        { address, "Address", addressText }, // the text declared just before
        { nameEntry, "Name", namePrompt }, // its own prompt, declared after it
        { afterEntry, "", 0 }, // another entry before it names nothing
        { namePrompt, "Name:", 0 }, { view, "The page", 0 },
        { digest, "Digest", 0 }, // a name given outright wins over the text
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(window.control(c.control)->label());
        const AccessibleNaming naming = accessibleNaming(window, c.control);
        EXPECT_EQ(naming.name, c.name);
        EXPECT_EQ(naming.labelledBy, c.labelledBy);
    }
    EXPECT_EQ(accessibleNaming(window, 999).name, "");

    // Names follow the texts they come from.
    window.control(addressText)->setText("Location:");
    EXPECT_EQ(accessibleNaming(window, address).name, "Location");
    window.control(status)->setText("*** Busy ***");
    EXPECT_EQ(accessibleNaming(window, status).name, "*** Busy ***");
}

} // namespace
} // namespace tvrn2
