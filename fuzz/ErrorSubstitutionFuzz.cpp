// The error manager's message table and placeholder substitution: any packed
// table loads without reading past its end, and any message with any saved
// values gives a text within the substitution limit.
#include "framework/ErrorManager.h"
#include "fuzz/FuzzFields.h"
#include "platform/MessageBox.h"

#include <string>

using namespace tvrn2;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto fields = fuzz::splitFields(data, size, 6);
    ScriptedMessageBoxes boxes;
    ScopedMessageBoxes installed(boxes);
    {
        ErrorManager errors;
        errors.Init();
        errors.MESSAGETEXT = fields[0];
        errors.FIELDNAME = fields[1];
        errors.NoteFile(fields[2]);
        errors.PushProcedure(fields[3]);
        std::string errorText(fields[4]);
        errors.setErrorSource([&] { return ErrorState { 90, errorText, errorText, errorText }; });
        errors.SaveErrorState();

        // The table is copied so that a read past its end is caught.
        std::size_t defaults = errors.errors() ? errors.errors()->size() : 0;
        std::vector<std::uint8_t> table(fields[5].begin(), fields[5].end());
        errors.AddTable(table.data(), table.size());
        if (const auto* entries = errors.errors()) {
            // Every entry runs the same substitution; asking the first few of
            // the table's own entries (after the defaults Init loaded) keeps
            // each run short, so the fuzzer tries more tables. A table that
            // brought none has the first defaults asked, with the input's values.
            std::size_t first = entries->size() > defaults ? defaults : 0;
            for (std::size_t n = first; n < entries->size() && n < first + 4; ++n) {
                int id = (*entries)[n].ID;
                errors.AssignCategory(id, fields[0]);
                std::size_t shown = boxes.shown().size();
                errors.Ask(id, Button::Ok, Button::Ok);
                // The box shows the substituted text: checked there rather
                // than substituted a second time.
                FUZZ_CHECK(boxes.shown().size() == shown + 1);
                FUZZ_CHECK(boxes.shown().back().text.size() <= ErrorManager::substitutionLimit);
            }
        }
        errors.Ask(-1, Button::Ok, Button::Ok);
        for (const auto& shown : boxes.shown())
            FUZZ_CHECK(shown.text.size() <= ErrorManager::substitutionLimit);
        errors.Kill();
    }
    return 0;
}
