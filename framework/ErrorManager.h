#pragma once

#include "framework/ErrorLog.h"
#include "framework/StandardErrorLog.h"
#include "platform/FixedText.h"
#include "platform/MessageBox.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tvrn2 {

// What the runtime knows about the most recent failure at the moment an error
// is reported: its code and text, and the file driver's own code and text.
struct ErrorState {
    std::int32_t code { 0 };
    std::string text;
    std::string fileErrorCode;
    std::string fileError;
};

// Turns an error number into a message for the user: a table of messages
// with levels, placeholders filled from the state saved at the error, an
// optional log file and an in-memory history with its own window.
class ErrorManager {
public:
    struct ErrorEntry {
        std::uint16_t ID { 0 };
        std::string MESSAGE;
        std::string TITLE;
        std::uint8_t FATALITY { 0 };
        std::string CATEGORY;
    };

    struct HistoryEntry {
        std::string CATEGORY;
        FixedText<1024> TXT;
        std::int16_t ID { 0 };
    };

    struct ProcedureName {
        std::uint32_t THREAD { 0 };
        std::string NAME;
    };

    static constexpr const char* defaultCategoryName = "Framework";
    static constexpr std::size_t substitutionLimit = 1999;

    ErrorManager() = default;
    virtual ~ErrorManager() = default;
    ErrorManager(const ErrorManager&) = delete;
    ErrorManager& operator=(const ErrorManager&) = delete;

    // Appends the entries of a packed table to the message table. A block
    // that ends inside an entry stops the load there.
    virtual void AddTable(const void* block, std::size_t blockSize);
    virtual void AppendHistory();
    virtual int ShowHistoryList(std::string_view caption, BoxIcon icon, int buttons, int defaultButton);
    virtual void AttachLog(ErrorLog& log);
    virtual int Present(std::string_view text, std::string_view title, BoxIcon icon, int buttons,
        int defaultButton, int style = 0);
    virtual int ShowBox(std::string_view text, std::string_view title, BoxIcon icon, int buttons,
        int defaultButton, int style = 0);
    virtual int OnNone();
    virtual int OnFatal();
    virtual int OnNotify();
    virtual int OnOther();
    virtual int OnProgram();
    virtual int OnQuestion();
    virtual int OpenHistory();

    void Init();
    void Kill();
    int Report(int number);
    int Dispatch(int number);
    int Ask(int number, int buttons, int defaultButton);
    void PushProcedure(std::string_view name);
    void PopProcedure();
    std::string CurrentProcedure() const;
    void AssignCategory(int number, std::string_view category);
    std::string CategoryOf(int number) const;
    void NoteFile(std::string_view name);
    void SaveErrorState();

    // The substituted text of the entry the last Dispatch or Ask selected.
    std::string substitutedText() const;
    // Where SaveErrorState takes the current error from; by default the
    // platform's last file failure (platformErrorState).
    void setErrorSource(std::function<ErrorState()> source) { m_errorSource = std::move(source); }
    static ErrorState platformErrorState();

    const std::vector<ErrorEntry>* errors() const { return ERRORS.get(); }
    const std::vector<HistoryEntry>* history() const { return HISTORY.get(); }
    StandardErrorLog* standardLog() const { return STDERRORLOG.get(); }

    std::string DEFAULTCATEGORY;
    CString<255> FIELDNAME;
    CString<255> FILENAME;
    CString<255> MESSAGETEXT;
    CString<255> SAVEERROR;
    std::int32_t SAVEERRORCODE { 0 };
    CString<255> SAVEFILEERROR;
    CString<255> SAVEFILEERRORCODE;
    std::uint8_t SILENT { 0 };
    std::uint8_t LOGERRORS { 0 };
    std::int32_t HISTORYTHRESHOLD { 0 };
    std::int32_t HISTORYVIEWLEVEL { 3 };
    std::uint8_t HISTORYRESETONVIEW { 0 };

private:
    // The entry Dispatch or Ask works on: the newest table entry with the
    // number, or a stand-in when the table has none.
    void select(int number);
    const ErrorEntry& selected() const;
    std::string previousText() const;
    std::string logLine(std::string_view text) const;

    std::unique_ptr<std::vector<ErrorEntry>> ERRORS;
    ErrorLog* ERRORLOG { nullptr };
    std::unique_ptr<std::vector<HistoryEntry>> HISTORY;
    std::unique_ptr<std::vector<ProcedureName>> PROCNAMES;
    std::unique_ptr<StandardErrorLog> STDERRORLOG;

    std::optional<std::size_t> m_selected;
    ErrorEntry m_unknown;
    HistoryEntry m_pendingHistory;
    std::function<ErrorState()> m_errorSource;
    mutable std::mutex m_procedureMutex;
};

} // namespace tvrn2
