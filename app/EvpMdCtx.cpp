#include "app/EvpMdCtx.h"

#include <new>
#include <openssl/evp.h>

namespace tvrn2 {

EvpMdCtx::EvpMdCtx()
    : m_context(EVP_MD_CTX_new())
{
    if (!m_context)
        throw std::bad_alloc();
}

void EvpMdCtx::Free::operator()(evp_md_ctx_st* context) const
{
    EVP_MD_CTX_free(context);
}

bool EvpMdCtx::init()
{
    return EVP_DigestInit_ex(m_context.get(), EVP_md5(), nullptr) == 1;
}

bool EvpMdCtx::update(const void* data, std::size_t length)
{
    return EVP_DigestUpdate(m_context.get(), data, length) == 1;
}

bool EvpMdCtx::final(Digest& digest)
{
    unsigned int length = 0;
    return EVP_DigestFinal_ex(m_context.get(), digest.data(), &length) == 1 && length == digest.size();
}

} // namespace tvrn2
