#include "framework/ErrorManager.h"

#include "framework/DefaultErrors.h"
#include "platform/Event.h"
#include "platform/Files.h"
#include "platform/Halt.h"
#include "platform/HistoryListView.h"
#include "platform/SystemInfo.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <ctime>

namespace tvrn2 {
namespace {

// Replaces every occurrence of the placeholder, ignoring case; the search
// goes on behind each inserted value, so a value that happens to contain
// the placeholder is not expanded again.
void replaceAll(std::string& text, std::string_view placeholder, std::string_view value, std::size_t limit)
{
    std::size_t at = 0;
    while (at + placeholder.size() <= text.size()) {
        if (!equalsIgnoringCase(std::string_view(text).substr(at, placeholder.size()), placeholder)) {
            ++at;
            continue;
        }
        text.replace(at, placeholder.size(), value);
        at += value.size();
        if (text.size() > limit)
            text.resize(limit);
    }
}

std::string formatNow(const char* format)
{
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    char buffer[64];
    std::size_t length = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, length);
}

constexpr const char* fatalSuffix = "  Press OK to end this application";

} // namespace

void ErrorManager::Init()
{
    STDERRORLOG = std::make_unique<StandardErrorLog>();
    DEFAULTCATEGORY = defaultCategoryName;
    HISTORYTHRESHOLD = 0;
    HISTORYVIEWLEVEL = 3;
    HISTORYRESETONVIEW = 0;
    AttachLog(*STDERRORLOG);
}

void ErrorManager::Kill()
{
    ERRORS.reset();
    HISTORY.reset();
    {
        std::lock_guard lock(m_procedureMutex);
        PROCNAMES.reset();
    }
    if (ERRORLOG == STDERRORLOG.get())
        ERRORLOG = nullptr;
    STDERRORLOG.reset();
    m_selected.reset();
}

void ErrorManager::AddTable(const void* block, std::size_t blockSize)
{
    if (!ERRORS)
        ERRORS = std::make_unique<std::vector<ErrorEntry>>();
    const auto* bytes = static_cast<const std::uint8_t*>(block);
    std::size_t at = 0;
    auto take = [&](std::size_t count) -> const std::uint8_t* {
        if (!bytes || blockSize - at < count)
            return nullptr;
        const auto* start = bytes + at;
        at += count;
        return start;
    };
    auto takeString = [&](std::string& out) {
        const auto* length = take(1);
        if (!length)
            return false;
        const auto* text = take(*length);
        if (!text)
            return false;
        out.assign(reinterpret_cast<const char*>(text), *length);
        return true;
    };

    const auto* countBytes = take(2);
    if (!countBytes)
        return;
    unsigned count = countBytes[0] | (countBytes[1] << 8);
    for (unsigned n = 0; n < count; ++n) {
        ErrorEntry entry;
        const auto* head = take(3);
        if (!head || !takeString(entry.TITLE) || !takeString(entry.MESSAGE))
            return;
        entry.ID = static_cast<std::uint16_t>(head[0] | (head[1] << 8));
        entry.FATALITY = head[2];
        ERRORS->push_back(std::move(entry));
    }
}

void ErrorManager::AppendHistory()
{
    if (!HISTORY)
        HISTORY = std::make_unique<std::vector<HistoryEntry>>();
    HISTORY->push_back(m_pendingHistory);
}

int ErrorManager::ShowHistoryList(std::string_view caption, BoxIcon icon, int buttons, int defaultButton)
{
    HistoryListRequest request;
    request.caption = caption;
    request.icon = icon == BoxIcon::None ? BoxIcon::Exclamation : icon;
    request.buttons = buttons;
    request.defaultButton = defaultButton;
    if (HISTORY) {
        for (const auto& entry : *HISTORY)
            request.lines.push_back({ entry.TXT.raw(), entry.CATEGORY });
    }
    return historyListView().show(request);
}

void ErrorManager::AttachLog(ErrorLog& log)
{
    ERRORLOG = &log;
    ERRORS = std::make_unique<std::vector<ErrorEntry>>();
    auto table = defaultErrors();
    AddTable(table.data(), table.size());
    {
        std::lock_guard lock(m_procedureMutex);
        PROCNAMES = std::make_unique<std::vector<ProcedureName>>();
    }
    if (!HISTORY)
        HISTORY = std::make_unique<std::vector<HistoryEntry>>();
}

int ErrorManager::Present(
    std::string_view text, std::string_view title, BoxIcon icon, int buttons, int defaultButton, int style)
{
    const ErrorEntry& entry = selected();

    // Log failures never reach the user.
    if (LOGERRORS && ERRORLOG && ERRORLOG->Open() == 0) {
        ERRORLOG->Write(logLine(text));
        ERRORLOG->Close();
    }

    if (HISTORYTHRESHOLD != 0) {
        if (!HISTORY)
            HISTORY = std::make_unique<std::vector<HistoryEntry>>();
        if (HISTORYTHRESHOLD > 0) {
            auto keep = static_cast<std::size_t>(HISTORYTHRESHOLD - 1);
            if (HISTORY->size() > keep)
                HISTORY->erase(HISTORY->begin(), HISTORY->end() - static_cast<std::ptrdiff_t>(keep));
        }
        m_pendingHistory = {};
        m_pendingHistory.TXT = text;
        m_pendingHistory.ID = static_cast<std::int16_t>(entry.ID);
        m_pendingHistory.CATEGORY = CategoryOf(entry.ID);
        AppendHistory();
    }

    if (SILENT)
        return defaultButton;

    if (HISTORYTHRESHOLD != 0 && entry.FATALITY == HISTORYVIEWLEVEL) {
        int pressed = ShowHistoryList(title, icon, buttons, defaultButton);
        if (HISTORYRESETONVIEW && HISTORY)
            HISTORY->clear();
        return pressed;
    }
    return ShowBox(text, title, icon, buttons, defaultButton, style);
}

int ErrorManager::ShowBox(
    std::string_view text, std::string_view title, BoxIcon icon, int buttons, int defaultButton, int style)
{
    BoxRequest request;
    request.text = text;
    request.caption = title;
    request.icon = icon;
    request.buttons = buttons;
    request.defaultButton = defaultButton;
    return messageBoxes().show(request);
}

int ErrorManager::OnNone()
{
    return static_cast<int>(Level::Benign);
}

int ErrorManager::OnFatal()
{
    const ErrorEntry& entry = selected();
    Present(substitutedText() + fatalSuffix, entry.TITLE, BoxIcon::Exclamation, Button::Ok, Button::Ok);
    ShowBox(entry.TITLE, "Halt", BoxIcon::Stop, Button::Ok, Button::Ok);
    haltProgram(0);
}

int ErrorManager::OnNotify()
{
    const ErrorEntry& entry = selected();
    Present(substitutedText(), entry.TITLE, BoxIcon::Exclamation, Button::Ok, Button::Ok);
    return static_cast<int>(Level::Notify);
}

int ErrorManager::OnOther()
{
    return OnProgram();
}

int ErrorManager::OnProgram()
{
    return OnFatal();
}

int ErrorManager::OnQuestion()
{
    const ErrorEntry& entry = selected();
    int pressed
        = Present(substitutedText(), entry.TITLE, BoxIcon::Question, Button::Yes | Button::No, Button::Yes);
    return pressed == Button::Yes ? static_cast<int>(Level::Benign) : static_cast<int>(Level::Cancel);
}

int ErrorManager::OpenHistory()
{
    return ShowHistoryList("Errors History", BoxIcon::None, Button::Ok | Button::Help, Button::Ok);
}

int ErrorManager::Report(int number)
{
    SaveErrorState();
    return Dispatch(number);
}

int ErrorManager::Dispatch(int number)
{
    select(number);
    switch (selected().FATALITY) {
    case static_cast<int>(Level::Benign):
        return OnNone();
    case static_cast<int>(Level::Question):
    case static_cast<int>(Level::Cancel):
        return OnQuestion();
    case static_cast<int>(Level::Program):
        return OnProgram();
    case static_cast<int>(Level::Fatal):
        return OnFatal();
    case static_cast<int>(Level::Notify):
        return OnNotify();
    default:
        return OnOther();
    }
}

int ErrorManager::Ask(int number, int buttons, int defaultButton)
{
    if (SILENT)
        return defaultButton;
    select(number);
    return ShowBox(substitutedText(), selected().TITLE, BoxIcon::Question, buttons, defaultButton);
}

void ErrorManager::PushProcedure(std::string_view name)
{
    std::lock_guard lock(m_procedureMutex);
    if (!PROCNAMES)
        PROCNAMES = std::make_unique<std::vector<ProcedureName>>();
    PROCNAMES->push_back({ currentThreadId(), std::string(name) });
}

void ErrorManager::PopProcedure()
{
    std::lock_guard lock(m_procedureMutex);
    if (!PROCNAMES)
        return;
    auto thread = currentThreadId();
    auto found = std::find_if(PROCNAMES->rbegin(), PROCNAMES->rend(),
        [thread](const ProcedureName& entry) { return entry.THREAD == thread; });
    if (found != PROCNAMES->rend())
        PROCNAMES->erase(std::next(found).base());
}

std::string ErrorManager::CurrentProcedure() const
{
    std::lock_guard lock(m_procedureMutex);
    if (!PROCNAMES)
        return {};
    auto thread = currentThreadId();
    auto found = std::find_if(PROCNAMES->rbegin(), PROCNAMES->rend(),
        [thread](const ProcedureName& entry) { return entry.THREAD == thread; });
    return found != PROCNAMES->rend() ? found->NAME : std::string {};
}

void ErrorManager::AssignCategory(int number, std::string_view category)
{
    if (number == -1) {
        DEFAULTCATEGORY = category;
        return;
    }
    if (!ERRORS)
        return;
    auto found = std::find_if(
        ERRORS->rbegin(), ERRORS->rend(), [number](const ErrorEntry& entry) { return entry.ID == number; });
    if (found != ERRORS->rend())
        found->CATEGORY = category;
}

std::string ErrorManager::CategoryOf(int number) const
{
    if (number == -1 || !ERRORS)
        return DEFAULTCATEGORY;
    auto found = std::find_if(
        ERRORS->rbegin(), ERRORS->rend(), [number](const ErrorEntry& entry) { return entry.ID == number; });
    if (found == ERRORS->rend() || found->CATEGORY.empty())
        return DEFAULTCATEGORY;
    return found->CATEGORY;
}

void ErrorManager::NoteFile(std::string_view name)
{
    FILENAME = clip(name);
}

ErrorState ErrorManager::platformErrorState()
{
    // The runtime's error state is that of the last file operation that
    // failed: its code and text, and the system's own number and text as the
    // file driver's.
    const FileError& failure = lastFileError();
    if (!failure)
        return {};
    return { failure.code, failure.text, std::to_string(failure.systemCode), failure.systemText };
}

void ErrorManager::SaveErrorState()
{
    ErrorState state = m_errorSource ? m_errorSource() : platformErrorState();
    SAVEERRORCODE = state.code;
    SAVEERROR = clip(state.text);
    SAVEFILEERRORCODE = clip(state.fileErrorCode);
    SAVEFILEERROR = clip(state.fileError);
}

std::string ErrorManager::substitutedText() const
{
    const ErrorEntry& entry = selected();
    std::string text = entry.MESSAGE.substr(0, std::min(entry.MESSAGE.size(), substitutionLimit));

    std::string errorText = SAVEERRORCODE == 90
        ? SAVEFILEERROR.clipped() + " (" + SAVEFILEERRORCODE.clipped() + ")"
        : SAVEERROR.clipped() + " (" + std::to_string(SAVEERRORCODE) + ")";

    // Longer placeholders first where one begins another ("%ErrorCode" before
    // "%Error", "%FileErrorCode" before "%File").
    const std::pair<std::string_view, std::string> values[] = {
        { "%ErrorCode", std::to_string(SAVEERRORCODE) },
        { "%ErrorText", errorText },
        { "%Error", SAVEERROR.clipped() },
        { "%FileErrorCode", SAVEFILEERRORCODE.clipped() },
        { "%FileError", SAVEFILEERROR.clipped() },
        { "%File", FILENAME.clipped() },
        { "%Message", MESSAGETEXT.clipped() },
        { "%Field", FIELDNAME.clipped() },
        { "%Procedure", CurrentProcedure() },
        { "%Category", entry.CATEGORY },
        { "%Previous", previousText() },
    };
    for (const auto& [placeholder, value] : values)
        replaceAll(text, placeholder, value, substitutionLimit);
    return text;
}

void ErrorManager::select(int number)
{
    m_selected.reset();
    if (ERRORS) {
        for (std::size_t n = ERRORS->size(); n-- > 0;) {
            if ((*ERRORS)[n].ID == number) {
                m_selected = n;
                return;
            }
        }
    }
    // A number the table does not know still tells the user something.
    m_unknown = {};
    m_unknown.ID = static_cast<std::uint16_t>(number);
    m_unknown.TITLE = "Unknown Error";
    m_unknown.MESSAGE = "Error number " + std::to_string(number) + " is not in the message table.";
    m_unknown.FATALITY = static_cast<std::uint8_t>(Level::Notify);
}

const ErrorManager::ErrorEntry& ErrorManager::selected() const
{
    return m_selected && ERRORS && *m_selected < ERRORS->size() ? (*ERRORS)[*m_selected] : m_unknown;
}

std::string ErrorManager::previousText() const
{
    if (!m_selected || !ERRORS)
        return {};
    const auto id = (*ERRORS)[*m_selected].ID;
    for (std::size_t n = *m_selected; n-- > 0;) {
        if ((*ERRORS)[n].ID == id)
            return (*ERRORS)[n].MESSAGE;
    }
    return {};
}

std::string ErrorManager::logLine(std::string_view text) const
{
    return formatNow("%x") + "@" + formatNow("%X") + " --> " + std::string(text);
}

} // namespace tvrn2
