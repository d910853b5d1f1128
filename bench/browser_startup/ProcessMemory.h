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

// One "kB" line of /proc/PID/status, such as "VmRSS:" or "VmHWM:" (the peak).
inline long statusKb(int pid, const std::string& field)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0)
            return std::atol(line.c_str() + field.size());
    }
    return 0;
}

inline long residentKb(int pid)
{
    return statusKb(pid, "VmRSS:");
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

// This process and every process below it.
inline std::set<int> processTree()
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
    return tree;
}

// Sum of one status field over the process tree; `count` receives how many
// processes it saw.
inline long treeStatusKb(const std::string& field, int& count)
{
    std::set<int> tree = processTree();
    long total = 0;
    for (int pid : tree)
        total += statusKb(pid, field);
    count = static_cast<int>(tree.size());
    return total;
}

inline long treeResidentKb(int& count)
{
    return treeStatusKb("VmRSS:", count);
}
