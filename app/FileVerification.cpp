#include "app/FileVerification.h"

#include "framework/RegistryReader.h"
#include "platform/Halt.h"
#include "platform/MessageBox.h"
#include "platform/RecordFile.h"
#include "platform/Registry.h"
#include "platform/TextCase.h"
#include "platform/UserPaths.h"

namespace tvrn2 {
namespace {

std::string codeAndText(const FileError& error)
{
    return std::to_string(error.code) + ": " + error.text;
}

} // namespace

FileVerification::FileVerification(
    RegistryReader& registry, CString<256>& filePath, VerificationView& view, VerificationTarget target)
    : m_registry(registry)
    , m_filePath(filePath)
    , m_view(view)
    , m_target(std::move(target))
{ }

std::string FileVerification::watchedPath()
{
    // The download directory is read afresh every time; one "/" is always
    // inserted, which a directory ending in "/" survives.
    // Whole: ?CSFILEPATH shows what fits, the files are touched by the whole path.
    std::string directory = m_registry.GetStringValue(
        HKEY_CURRENT_USER, downloadKey, downloadValue, RegistryReader::Length::Whole);
    // Written as people write folders ("~/Installers", "dl"): the folder
    // the browser saves into, whatever the working folder.
    directory = userFolder(clip(directory)).string();
    return std::string(clip(directory + "/" + m_target.fileName));
}

FileVerification::Outcome FileVerification::OnTimer()
{
    m_path = watchedPath();
    m_filePath = m_path;

    // Unknown until the file is there and open: no size matches it, not even
    // that of an empty target.
    std::int64_t size = -1;
    const std::string& path = m_path;
    if (downloadUnderWay && downloadUnderWay(path))
        return Outcome::Waiting;
    // Only a regular file can be the installer; a folder, a named pipe or a
    // link to nothing under its name is passed over and the watch goes on.
    if (regularFileExists(path)) {
        RecordFile file;
        if (FileError error = file.open(path, ShareMode::DenyWrite)) {
            // A file still held by its writer is simply not ready yet.
            if (error.code != FileErrorCode::AccessDenied)
                stop("Cannot open selected file: " + error.text);
        } else {
            size = file.size().bytes;
        }
        file.close();
    }
    if (size != m_target.size)
        return Outcome::Waiting;
    return check();
}

FileVerification::Outcome FileVerification::check()
{
    const std::string& path = m_path;
    m_view.showFilePath(path);
    m_view.setWaitCursor(true);
    m_view.showValidString(checkingText);
    m_checksum.clear();

    RecordFile file;
    if (FileError error = file.open(path, ShareMode::DenyWrite)) {
        m_view.setWaitCursor(false);
        stop("Cannot open selected File. |" + codeAndText(error));
        return noVerdict();
    }
    FileSize size = file.size();
    if (size.error) {
        file.close();
        m_view.setWaitCursor(false);
        stop("Cannot read selected File. |" + codeAndText(size.error));
        return noVerdict();
    }
    if (size.bytes != m_target.size) {
        // The size moved since the tick looked: a writer is still at work, so
        // the bytes are no verdict's yet and nothing is deleted.
        file.close();
        m_view.setWaitCursor(false);
        stop("XP SP2 File size is not correct.");
        return noVerdict();
    }

    RecordDigest digest = RecordDigest::of(file, size.bytes, m_md5);
    file.close();
    if (digest.error) {
        // A digest over a partly read file proves nothing either way, so the
        // file must not be judged, let alone deleted.
        m_view.setWaitCursor(false);
        stop("Cannot read selected File. |" + codeAndText(digest.error));
        return noVerdict();
    }

    m_checksum = RecordDigest::hex(digest.bytes);
    m_view.showChecksum(m_checksum.raw());
    m_view.setWaitCursor(false);

    Outcome outcome = Outcome::Valid;
    if (toUpperAscii(m_checksum.clipped()) != m_target.digest) {
        m_view.showValidString(notValidText);
        deleteFile(path);
        outcome = Outcome::NotValid;
    } else {
        m_view.showValidString(validText);
    }
    m_view.stopTimer();
    return outcome;
}

FileVerification::Outcome FileVerification::noVerdict()
{
    m_view.showValidString(inProgressText);
    return Outcome::NoVerdict;
}

void FileVerification::stop(const std::string& text)
{
    stopBox(text);
}

} // namespace tvrn2
