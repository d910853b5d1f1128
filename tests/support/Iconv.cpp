#include "tests/support/Iconv.h"

#include "tests/support/ProgramRun.h"
#include "tests/support/TestSupport.h"

#include <chrono>
#include <gtest/gtest.h>

namespace tvrn2::test {

std::string iconv(const std::string& bytes, const std::string& from, const std::string& to)
{
    TempDir folder;
    auto input = folder.write("input", bytes);
    ProgramRun run = runProgram({ "iconv", "-f", from, "-t", to, input.string() }, std::chrono::seconds(30));
    if (!run.finished || run.exitCode != 0) {
        ADD_FAILURE() << "iconv -f " << from << " -t " << to << " failed: " << run.errors;
        return {};
    }
    return run.output;
}

} // namespace tvrn2::test
