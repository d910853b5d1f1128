#include "diagnostics/AllocationSite.h"

namespace tvrn2 {
namespace {

thread_local const char* siteFile = nullptr;
thread_local long siteLine = 0;

} // namespace

AllocationSite::AllocationSite(std::source_location where)
    : m_previousFile(siteFile)
    , m_previousLine(siteLine)
{
    siteFile = where.file_name();
    siteLine = long(where.line());
}

AllocationSite::~AllocationSite()
{
    siteFile = m_previousFile;
    siteLine = m_previousLine;
}

const char* AllocationSite::currentFile()
{
    return siteFile;
}

long AllocationSite::currentLine()
{
    return siteLine;
}

} // namespace tvrn2
