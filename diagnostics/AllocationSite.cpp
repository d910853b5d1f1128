#include "diagnostics/AllocationSite.h"

namespace tvrn2 {
namespace {

thread_local const char* siteFile = nullptr;
thread_local long siteLine = 0;

} // namespace

AllocationSite::AllocationSite(std::source_location where)
    : AllocationSite(where.file_name(), long(where.line()))
{ }

AllocationSite::AllocationSite(const char* file, long line)
    : m_previousFile(siteFile)
    , m_previousLine(siteLine)
{
    siteFile = file;
    siteLine = line;
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
