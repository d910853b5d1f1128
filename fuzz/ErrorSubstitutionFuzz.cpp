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
    MessageBoxes* previous = setMessageBoxes(&boxes);
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
        std::vector<std::uint8_t> table(fields[5].begin(), fields[5].end());
        errors.AddTable(table.data(), table.size());
        if (const auto* entries = errors.errors()) {
            // Every entry runs the same substitution; asking the first few
            // keeps each run short, so the fuzzer tries more tables.
            std::size_t asked = 0;
            for (const auto& entry : *entries) {
                if (++asked > 4)
                    break;
                errors.AssignCategory(entry.ID, fields[0]);
                errors.Ask(entry.ID, Button::Ok, Button::Ok);
                FUZZ_CHECK(errors.substitutedText().size() <= ErrorManager::substitutionLimit);
            }
        }
        errors.Ask(-1, Button::Ok, Button::Ok);
        for (const auto& shown : boxes.shown())
            FUZZ_CHECK(shown.text.size() <= ErrorManager::substitutionLimit);
        errors.Kill();
    }
    setMessageBoxes(previous);
    return 0;
}
