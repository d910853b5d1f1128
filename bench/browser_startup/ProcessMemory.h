#pragma once

// Resident memory of this process and of every process below it (the web
// and network processes a web view starts), read from /proc, in kB.

#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <unistd.h>

inline long residentKb(int pid)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return 0;
}

inline int parentOf(int pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    auto close = text.rfind(')');
    if (close == std::string::npos)
        return -1;
    std::istringstream rest(text.substr(close + 2));
    std::string state;
    int parent = -1;
    rest >> state >> parent;
    return parent;
}

// Sum over the process tree; `count` receives how many processes it saw.
inline long treeResidentKb(int& count)
{
    std::set<int> tree { getpid() };
    bool grew = true;
    while (grew) {
        grew = false;
        DIR* proc = opendir("/proc");
        while (dirent* entry = readdir(proc)) {
            int pid = std::atoi(entry->d_name);
            if (pid > 0 && !tree.count(pid) && tree.count(parentOf(pid))) {
                tree.insert(pid);
                grew = true;
            }
        }
        closedir(proc);
    }
    long total = 0;
    for (int pid : tree)
        total += residentKb(pid);
    count = static_cast<int>(tree.size());
    return total;
}
