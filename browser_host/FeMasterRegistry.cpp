// FeMaster (see FeMaster.cpp for the whole): reading and writing registry
// values, and the page-setup values kept there.

#include "browser_host/FeMaster.h"
#include "platform/MessageBox.h"
#include "platform/Registry.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace tvrn2 {
namespace {

constexpr std::size_t maxKeyPath = 255;
constexpr std::uint32_t valueBufferSize = 255;

// Closes an open key when the scope ends.
class OpenKey {
public:
    OpenKey() = default;
    ~OpenKey()
    {
        if (m_key)
            regCloseKey(m_key);
    }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;

    HKEY* out() { return &m_key; }
    HKEY get() const { return m_key; }
    // Closes now and reports how that went.
    std::int32_t close() { return regCloseKey(std::exchange(m_key, 0)); }

private:
    HKEY m_key { 0 };
};

std::string textOfValue(std::uint32_t type, std::string_view bytes)
{
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
    case REG_MULTI_SZ:
        if (!bytes.empty() && bytes.back() == '\0')
            bytes.remove_suffix(1);
        return std::string(bytes);
    case REG_BINARY:
        return std::string(bytes);
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
        // The first byte in storage order, as the value was always read.
        return bytes.empty() ? std::string() : std::to_string(static_cast<unsigned char>(bytes.front()));
    default:
        return {};
    }
}

} // namespace

std::string FeMaster::GetRegistryValue(
    std::string_view hive, std::string_view key, std::string_view valueName)
{
    // A longer value is cut to the result's length rather than lost.
    std::string text = wholeRegistryValue(hive, key, valueName);
    text.resize(std::min<std::size_t>(text.size(), valueBufferSize));
    return std::string(clip(text));
}

std::string FeMaster::wholeRegistryValue(
    std::string_view hive, std::string_view key, std::string_view valueName)
{
    OpenKey open;
    if (regOpenKeyEx(
            hiveFromName(hive), key.substr(0, std::min(key.size(), maxKeyPath)), 0, KEY_READ, open.out())
        != ERROR_SUCCESS)
        return {};

    std::vector<std::uint8_t> buffer(valueBufferSize);
    std::uint32_t type = 0;
    std::uint32_t size = valueBufferSize;
    auto status = regQueryValueEx(open.get(), valueName, &type, buffer.data(), &size);
    if (status == ERROR_MORE_DATA) {
        buffer.resize(size);
        status = regQueryValueEx(open.get(), valueName, &type, buffer.data(), &size);
    }
    if (status != ERROR_SUCCESS)
        return {};

    auto text = textOfValue(type, std::string_view(reinterpret_cast<const char*>(buffer.data()), size));
    return std::string(clip(text));
}

std::uint8_t FeMaster::SetRegistryValue(
    std::string_view hive, std::string_view key, std::string_view valueName, std::string_view value)
{
    HKEY root = hiveFromName(hive);
    // A name that is no hive can hold no key: asking to create one would only fail.
    if (root == 0)
        return 1;

    OpenKey open;
    if (regOpenKeyEx(root, key, 0, KEY_WRITE, open.out()) != ERROR_SUCCESS) {
        BoxRequest question;
        question.text
            = "A key in your windows registry does not exist and needs to be created.  Create key now?";
        question.caption = std::string(libraryName);
        question.icon = BoxIcon::Question;
        question.buttons = Button::Yes | Button::No;
        if (messageBoxes().show(question) != Button::Yes)
            return 1;

        Trace("Creating registry key: " + std::string(hive) + "\\" + std::string(key) + "\\"
            + std::string(valueName));
        OpenKey created;
        std::uint32_t disposition = 0;
        if (regCreateKeyEx(root, key, REG_OPTION_NON_VOLATILE, KEY_WRITE, created.out(), &disposition)
            != ERROR_SUCCESS)
            return 1;
        created.close();
        if (regOpenKeyEx(root, key, 0, KEY_WRITE, open.out()) != ERROR_SUCCESS)
            return 2;
    }

    auto text = std::string(clip(value)).substr(0, 256);
    text.push_back('\0');
    if (regSetValueEx(open.get(), valueName.substr(0, std::min(valueName.size(), maxKeyPath)), REG_SZ,
            reinterpret_cast<const std::uint8_t*>(text.data()), static_cast<std::uint32_t>(text.size()))
        != ERROR_SUCCESS)
        return 3;
    if (open.close() != ERROR_SUCCESS)
        return 4;
    return 0;
}

void FeMaster::GetIEPageSetup()
{
    static constexpr std::string_view hive = "hkey_current_user";
    static constexpr std::string_view key = "software\\microsoft\\internet explorer\\pagesetup";
    IEPRINTERHEADER = GetRegistryValue(hive, key, "header");
    IEPRINTERFOOTER = GetRegistryValue(hive, key, "footer");
    IEPRINTERORIENTATION = GetRegistryValue(hive, key, "orientation");
    if (IEPRINTERORIENTATION == "1")
        IEPRINTERORIENTATION = "portrait";
    else if (IEPRINTERORIENTATION == "2")
        IEPRINTERORIENTATION = "landscape";
}

} // namespace tvrn2
