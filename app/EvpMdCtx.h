#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

struct evp_md_ctx_st;

namespace tvrn2 {

// An OpenSSL message-digest context set up for MD5, freed with its owner.
class EvpMdCtx {
public:
    using Digest = std::array<std::uint8_t, 16>;

    EvpMdCtx();
    EvpMdCtx(EvpMdCtx&&) noexcept = default;
    EvpMdCtx& operator=(EvpMdCtx&&) noexcept = default;

    // Starts a new digest; false when OpenSSL refuses.
    bool init();
    bool update(const void* data, std::size_t length);
    // Finishes the digest; the context must be initialised again before reuse.
    bool final(Digest& digest);

private:
    struct Free {
        void operator()(evp_md_ctx_st* context) const;
    };
    std::unique_ptr<evp_md_ctx_st, Free> m_context;
};

} // namespace tvrn2
