// The registry store on a large file: "make FILE KEYS" writes a store of that
// many keys (one text value each, about 86 bytes a key); "run FILE VALUE"
// opens the store that FILE is (FILE must be $XDG_CONFIG_HOME/tvrn2/registry.reg),
// reads the last key's value, sets it to VALUE, and prints the seconds each
// took: "open S rewrite S".
#include "platform/Registry.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

namespace {

std::string keyName(long index)
{
    char name[64];
    std::snprintf(name, sizeof name, "Software\\Bench\\Key%07ld", index);
    return name;
}

int make(const char* file, long keys)
{
    std::ofstream out(file, std::ios::binary);
    out << "Windows Registry Editor Version 5.00\r\n\r\n";
    for (long i = 0; i < keys; ++i)
        out << "[HKEY_CURRENT_USER\\" << keyName(i) << "]\r\n\"Value\"=\"text of value " << i
            << " for the store\"\r\n\r\n";
    return out ? 0 : 1;
}

double since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

int run(long keys, const char* value)
{
    using namespace tvrn2;
    auto start = std::chrono::steady_clock::now();
    HKEY key = 0;
    if (regOpenKeyEx(HKEY_CURRENT_USER, keyName(keys - 1), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        std::fprintf(stderr, "the last key is not in the store\n");
        return 1;
    }
    char data[256];
    std::uint32_t size = sizeof data;
    if (regQueryValueEx(key, "Value", nullptr, reinterpret_cast<std::uint8_t*>(data), &size)
        != ERROR_SUCCESS) {
        std::fprintf(stderr, "the last value cannot be read\n");
        return 1;
    }
    double open = since(start);
    start = std::chrono::steady_clock::now();
    if (regSetValueEx(key, "Value", REG_SZ, reinterpret_cast<const std::uint8_t*>(value),
            static_cast<std::uint32_t>(std::strlen(value) + 1))
        != ERROR_SUCCESS) {
        std::fprintf(stderr, "the value cannot be written\n");
        return 1;
    }
    double rewrite = since(start);
    regCloseKey(key);
    std::printf("open %.4f rewrite %.4f\n", open, rewrite);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && std::strcmp(argv[1], "make") == 0)
        return make(argv[2], std::atol(argv[3]));
    if (argc == 4 && std::strcmp(argv[1], "run") == 0)
        return run(std::atol(argv[2]), argv[3]);
    std::fprintf(stderr, "usage: %s make FILE KEYS | run KEYS VALUE\n", argv[0]);
    return 2;
}
