#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace tvrn2::test {

// A small complete HTML page with a title, as the browser tests serve them.
inline std::string htmlPage(const std::string& title, const std::string& body)
{
    return "<!DOCTYPE html><html><head><title>" + title + "</title></head><body>" + body + "</body></html>";
}

// What the server answers for one path.
struct HttpRoute {
    int status { 200 };
    std::string contentType { "text/html; charset=utf-8" };
    std::string body;
    std::vector<std::pair<std::string, std::string>> headers; // extra header lines
    // Wait this long before answering at all.
    std::chrono::milliseconds delay { 0 };
    // Answer only once the test calls release() for this route's path, so a
    // load stays in progress for exactly as long as the test needs it to.
    bool held { false };
    // Send the body in pieces of this size with this pause between them.
    std::size_t chunkSize { 0 };
    std::chrono::milliseconds chunkPause { 0 };
    // Send this many body bytes, then the rest only once the test calls
    // release() for this route's path: a download stays under way, part
    // saved, for as long as the test needs.
    std::optional<std::size_t> holdAfter;
    // Announce the whole length but close the connection after this many body bytes.
    std::optional<std::size_t> breakAfter;
    // Instead of `body`: a body of `generatedLength` bytes that `generate`
    // writes piece by piece as it is sent (offset, buffer, size), so a very
    // large answer is never held in memory. Called on the serving thread.
    std::function<void(std::uint64_t offset, char* data, std::size_t size)> generate;
    std::uint64_t generatedLength { 0 };
};

// A real HTTP/1.1 server on 127.0.0.1 with a port chosen at run time, for
// tests that drive a browser. Every connection is served on its own thread
// (slow answers do not hold up others) and closed after one answer. Unknown
// paths answer 404. Stopping wakes every pause at once.
class HttpTestServer {
public:
    HttpTestServer();
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // Routes match the path with its query first, then without it.
    void route(const std::string& path, HttpRoute route);
    void route(const std::string& path, std::string html)
    {
        route(path, HttpRoute { .body = std::move(html) });
    }

    int port() const { return m_port; }
    std::string url(const std::string& path = "/") const;
    // An address on a loopback port that a server listened on a moment ago
    // and nothing listens on now: connections to it are refused.
    static std::string closedUrl(const std::string& path = "/");

    // Requests seen for a path (query included as sent), and in total.
    int requests(const std::string& path) const;
    int totalRequests() const;
    // The request headers of the latest request for a path, names lower-cased.
    std::map<std::string, std::string> lastHeaders(const std::string& path) const;

    // Lets the held answers of a route go out (and any later ones).
    void release(const std::string& path);

    void stop();

private:
    void acceptLoop();
    void serve(int connection);
    bool pause(std::chrono::milliseconds duration);

    int m_listener { -1 };
    int m_wakeRead { -1 };
    int m_wakeWrite { -1 };
    int m_port { 0 };
    std::thread m_acceptor;
    mutable std::mutex m_mutex;
    std::condition_variable m_stopped;
    bool m_stopping { false };
    std::map<std::string, HttpRoute> m_routes;
    std::map<std::string, int> m_counts;
    std::set<std::string> m_released;
    std::map<std::string, std::map<std::string, std::string>> m_headers;
    int m_total { 0 };
    std::vector<std::thread> m_workers;
};

} // namespace tvrn2::test
