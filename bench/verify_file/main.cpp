// Digests a file through the verification's own path (the buffered record
// driver and the MD5 code the main window uses) and prints the digest in the
// form "digest *file", so it can be timed against other MD5 tools.
#include "app/EvpMdCtx.h"
#include "app/RecordDigest.h"
#include "platform/RecordFile.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    tvrn2::RecordFile file;
    if (tvrn2::FileError error = file.open(argv[1], tvrn2::ShareMode::DenyWrite)) {
        std::fprintf(
            stderr, "%s: %d: %s (%s)\n", argv[1], error.code, error.text.c_str(), error.systemText.c_str());
        return 1;
    }
    tvrn2::FileSize size = file.size();
    if (size.error) {
        std::fprintf(stderr, "%s: %s\n", argv[1], size.error.text.c_str());
        return 1;
    }
    tvrn2::EvpMdCtx md5;
    auto digest = tvrn2::RecordDigest::of(file, size.bytes, md5);
    if (digest.error) {
        std::fprintf(stderr, "%s: %d: %s (%s)\n", argv[1], digest.error.code, digest.error.text.c_str(),
            digest.error.systemText.c_str());
        return 1;
    }
    std::printf("%s *%s\n", tvrn2::RecordDigest::hex(digest.bytes).c_str(), argv[1]);
    return 0;
}
