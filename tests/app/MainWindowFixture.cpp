#include "tests/app/MainWindowFixture.h"

#include "platform/Registry.h"

#include <openssl/evp.h>

namespace tvrn2::test {

Md5::Md5()
    : m_context(EVP_MD_CTX_new())
{
    EVP_DigestInit_ex(m_context, EVP_md5(), nullptr);
}

Md5::~Md5()
{
    EVP_MD_CTX_free(m_context);
}

void Md5::update(const char* data, std::size_t size)
{
    EVP_DigestUpdate(m_context, data, size);
}

std::string Md5::hex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(m_context, digest, &length);
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += "0123456789abcdef"[digest[i] >> 4];
        hex += "0123456789abcdef"[digest[i] & 15];
    }
    return hex;
}

std::string Md5::of(std::string_view data)
{
    Md5 md5;
    md5.update(data.data(), data.size());
    return md5.hex();
}

void storeDownloadDirectory(const std::filesystem::path& folder)
{
    std::filesystem::create_directories(folder);
    HKEY key = 0;
    ASSERT_EQ(regCreateKeyEx(HKEY_CURRENT_USER, FileVerification::downloadKey, 0, KEY_WRITE, &key, nullptr),
        ERROR_SUCCESS);
    const std::string text = folder.string();
    EXPECT_EQ(
        regSetValueEx(key, FileVerification::downloadValue, 1,
            reinterpret_cast<const std::uint8_t*>(text.c_str()), static_cast<std::uint32_t>(text.size() + 1)),
        ERROR_SUCCESS);
    regCloseKey(key);
}

MainWindowFixture::MainWindowFixture()
{
    storeDownloadDirectory(downloads);
    errors.Init();
    registry.QUIETMODE = 1;
    registry.Init();
}

void MainWindowFixture::TearDown()
{
    // The window goes first: it still speaks to the loop and the objects below.
    main.reset();
    registry.Kill();
    errors.Kill();
}

MainWindow& MainWindowFixture::make(const LinkDesktop* desktop)
{
    main = std::make_unique<MainWindow>(errors, registry, filePath, settings, desktop);
    return *main;
}

} // namespace tvrn2::test
