#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

namespace tvrn2 {

// A file the web view is about to save.
struct DownloadOffer {
    std::string fileName; // already made safe to use as one path component
    std::filesystem::path folder;
    std::string uri;
    std::optional<std::uint64_t> totalBytes; // when the server said
};

struct DownloadProgress {
    std::string fileName;
    std::uint64_t receivedBytes { 0 };
    std::optional<std::uint64_t> totalBytes;
    double bytesPerSecond { 0 };
};

enum class SaveAnswer { Save, Cancel };
enum class ReplaceAnswer { Replace, Keep };

// What the user sees of a download: the questions before it starts and the
// progress while it runs. Answers may come later (the web view keeps the
// download waiting until then); at most one question is open at a time.
class DownloadDisplay {
public:
    virtual void askSave(const DownloadOffer& offer, std::function<void(SaveAnswer)> answer) = 0;
    virtual void askReplace(const DownloadOffer& offer, std::function<void(ReplaceAnswer)> answer) = 0;
    virtual void showProgress(const DownloadProgress& progress) = 0;
    virtual void showFinished(const std::filesystem::path& file) = 0;
    // The file saved earlier is no longer there under its name.
    virtual void showRemoved(const std::filesystem::path& file) = 0;
    virtual void showFailed(const std::string& fileName, const std::string& reason) = 0;
    // Says, beside whatever is shown, that a second download of an address
    // already being downloaded (as `fileName`) was not started.
    virtual void showRefused(const std::string& fileName) = 0;
    // Hides what is shown; an open question is withdrawn unanswered.
    virtual void dismiss() = 0;

protected:
    ~DownloadDisplay() = default;
};

} // namespace tvrn2
