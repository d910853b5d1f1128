#include "framework/RegistryReader.h"

#include "platform/MessageBox.h"
#include "platform/TextCase.h"

#include <algorithm>

namespace tvrn2 {
namespace {

// Closes the key on every way out of a read.
class OpenKey {
public:
    explicit OpenKey(HKEY key)
        : m_key(key)
    { }
    ~OpenKey() { regCloseKey(m_key); }
    OpenKey(const OpenKey&) = delete;
    OpenKey& operator=(const OpenKey&) = delete;
    HKEY get() const { return m_key; }

private:
    HKEY m_key;
};

std::string comparable(std::string_view name)
{
    return toUpperAscii(clip(name));
}

} // namespace

void RegistryReader::Init()
{
    m_valueNames = std::make_unique<std::vector<std::string>>();
}

void RegistryReader::Kill()
{
    m_valueNames.reset();
}

std::string RegistryReader::GetStringValue(
    HKEY root, std::string_view keyPath, std::string_view valueName, Length length)
{
    HKEY handle = 0;
    if (std::int32_t code = regOpenKeyEx(root, keyPath, 0, KEY_READ, &handle); code != ERROR_SUCCESS)
        return fail("opening", keyPath, code);
    OpenKey key(handle);
    if (m_valueNames)
        m_valueNames->clear();

    const std::string wanted = comparable(valueName);
    std::vector<char> name(256);
    std::vector<std::uint8_t> data(dataBufferSize);
    int retries = 0;
    for (std::uint32_t index = 0;;) {
        auto nameSize = static_cast<std::uint32_t>(name.size());
        auto dataSize = static_cast<std::uint32_t>(data.size());
        std::uint32_t type = 0;
        std::int32_t code
            = regEnumValue(key.get(), index, name.data(), &nameSize, &type, data.data(), &dataSize);
        if (code == ERROR_NO_MORE_ITEMS)
            return {};
        if (code == ERROR_MORE_DATA && ++retries <= 8) {
            // A value larger than the buffer must not hide the ones after it:
            // read the same value again with room for it.
            if (dataSize > data.size()) {
                data.resize(dataSize);
            } else {
                name.resize(name.size() * 2);
            }
            continue;
        }
        if (code != ERROR_SUCCESS)
            return fail("retrieving", keyPath, code);

        std::string_view found(name.data(), std::min<std::size_t>(nameSize, name.size()));
        if (m_valueNames)
            m_valueNames->emplace_back(found);
        if (comparable(found) == wanted) {
            std::string_view text(
                reinterpret_cast<const char*>(data.data()), std::min<std::size_t>(dataSize, data.size()));
            text = text.substr(0, text.find('\0'));
            if (length == Length::Field)
                text = text.substr(0, std::min<std::size_t>(text.size(), 255));
            return std::string(clip(text));
        }
        ++index;
        retries = 0;
    }
}

std::string RegistryReader::fail(const char* operation, std::string_view keyPath, std::int32_t code)
{
    LASTOP = operation;
    LASTKEYNAME = keyPath;
    LASTERROR = std::to_string(code);
    if (!QUIETMODE) {
        BoxRequest request;
        request.text = "Error " + LASTOP.clipped() + " " + LASTKEYNAME.clipped() + ": " + LASTERROR.clipped();
        request.caption = "Error";
        request.icon = BoxIcon::Exclamation;
        request.buttons = Button::Ok;
        request.defaultButton = Button::Ok;
        messageBoxes().show(request);
    }
    return {};
}

} // namespace tvrn2
