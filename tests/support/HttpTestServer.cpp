#include "tests/support/HttpTestServer.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace tvrn2::test {
namespace {

const char* reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 404:
        return "Not Found";
    case 500:
        return "Internal Server Error";
    default:
        return "Status";
    }
}

bool sendAll(int connection, const char* data, std::size_t size)
{
    while (size > 0) {
        ssize_t sent = ::send(connection, data, size, MSG_NOSIGNAL);
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent <= 0)
            return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string trimmed(const std::string& text)
{
    auto begin = text.find_first_not_of(" \t");
    auto end = text.find_last_not_of(" \t\r");
    return begin == std::string::npos ? std::string() : text.substr(begin, end - begin + 1);
}

} // namespace

HttpTestServer::HttpTestServer()
{
    m_listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listener < 0)
        throw std::runtime_error("socket failed");
    sockaddr_in address {};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0
        || ::listen(m_listener, 64) != 0
        || ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(m_listener);
        throw std::runtime_error("cannot listen on 127.0.0.1");
    }
    m_port = ntohs(address.sin_port);
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC) != 0) {
        ::close(m_listener);
        throw std::runtime_error("pipe failed");
    }
    m_wakeRead = pipeEnds[0];
    m_wakeWrite = pipeEnds[1];
    m_acceptor = std::thread([this] { acceptLoop(); });
}

HttpTestServer::~HttpTestServer()
{
    stop();
}

void HttpTestServer::stop()
{
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping)
            return;
        m_stopping = true;
    }
    m_stopped.notify_all();
    char wake = 1;
    (void)!::write(m_wakeWrite, &wake, 1);
    m_acceptor.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard lock(m_mutex);
        workers.swap(m_workers);
    }
    for (auto& worker : workers)
        worker.join();
    ::close(m_listener);
    ::close(m_wakeRead);
    ::close(m_wakeWrite);
}

void HttpTestServer::route(const std::string& path, HttpRoute route)
{
    std::lock_guard lock(m_mutex);
    m_routes[path] = std::move(route);
}

std::string HttpTestServer::url(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(m_port) + path;
}

std::string HttpTestServer::closedUrl(const std::string& path)
{
    HttpTestServer gone;
    std::string url = gone.url(path);
    gone.stop();
    return url;
}

int HttpTestServer::requests(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_counts.find(path);
    return found == m_counts.end() ? 0 : found->second;
}

int HttpTestServer::totalRequests() const
{
    std::lock_guard lock(m_mutex);
    return m_total;
}

std::map<std::string, std::string> HttpTestServer::lastHeaders(const std::string& path) const
{
    std::lock_guard lock(m_mutex);
    auto found = m_headers.find(path);
    return found == m_headers.end() ? std::map<std::string, std::string> {} : found->second;
}

void HttpTestServer::release(const std::string& path)
{
    {
        std::lock_guard lock(m_mutex);
        m_released.insert(path);
    }
    m_stopped.notify_all();
}

bool HttpTestServer::pause(std::chrono::milliseconds duration)
{
    std::unique_lock lock(m_mutex);
    return !m_stopped.wait_for(lock, duration, [this] { return m_stopping; });
}

void HttpTestServer::acceptLoop()
{
    for (;;) {
        pollfd watched[2] = { { m_listener, POLLIN, 0 }, { m_wakeRead, POLLIN, 0 } };
        if (::poll(watched, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (watched[1].revents)
            return;
        int connection = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (connection < 0)
            continue;
        std::lock_guard lock(m_mutex);
        if (m_stopping) {
            ::close(connection);
            return;
        }
        m_workers.emplace_back([this, connection] { serve(connection); });
    }
}

void HttpTestServer::serve(int connection)
{
    std::string request;
    char buffer[4096];
    while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
        pollfd watched[2] = { { connection, POLLIN, 0 }, { m_wakeRead, POLLIN, 0 } };
        if (::poll(watched, 2, 10000) <= 0 || watched[1].revents) {
            ::close(connection);
            return;
        }
        ssize_t got = ::recv(connection, buffer, sizeof buffer, 0);
        if (got <= 0) {
            ::close(connection);
            return;
        }
        request.append(buffer, static_cast<std::size_t>(got));
    }

    auto lineEnd = request.find("\r\n");
    std::string requestLine = request.substr(0, lineEnd);
    auto firstSpace = requestLine.find(' ');
    auto secondSpace = requestLine.find(' ', firstSpace + 1);
    std::string target = firstSpace == std::string::npos
        ? "/"
        : requestLine.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    std::map<std::string, std::string> headers;
    for (auto start = lineEnd + 2; start < request.size();) {
        auto end = request.find("\r\n", start);
        if (end == std::string::npos || end == start)
            break;
        std::string line = request.substr(start, end - start);
        auto colon = line.find(':');
        if (colon != std::string::npos)
            headers[lower(trimmed(line.substr(0, colon)))] = trimmed(line.substr(colon + 1));
        start = end + 2;
    }

    HttpRoute route { .status = 404, .contentType = "text/plain", .body = "not found" };
    std::string routePath;
    {
        std::lock_guard lock(m_mutex);
        ++m_total;
        ++m_counts[target];
        m_headers[target] = headers;
        auto found = m_routes.find(target);
        if (found == m_routes.end())
            found = m_routes.find(target.substr(0, target.find('?')));
        if (found != m_routes.end()) {
            routePath = found->first;
            route = found->second;
        }
    }

    if (route.held) {
        std::unique_lock lock(m_mutex);
        m_stopped.wait(lock, [&] { return m_stopping || m_released.count(routePath) > 0; });
        if (m_stopping) {
            lock.unlock();
            ::close(connection);
            return;
        }
    }

    if (route.delay.count() > 0 && !pause(route.delay)) {
        ::close(connection);
        return;
    }
    std::string head = "HTTP/1.1 " + std::to_string(route.status) + " " + reasonPhrase(route.status) + "\r\n";
    head += "Content-Type: " + route.contentType + "\r\n";
    const std::uint64_t length = route.generate ? route.generatedLength : route.body.size();
    head += "Content-Length: " + std::to_string(length) + "\r\n";
    head += "Connection: close\r\n";
    for (const auto& [name, value] : route.headers)
        head += name + ": " + value + "\r\n";
    head += "\r\n";
    bool sending = sendAll(connection, head.data(), head.size());

    const std::uint64_t limit = std::min<std::uint64_t>(length, route.breakAfter.value_or(length));
    const std::uint64_t chunk = route.chunkSize ? route.chunkSize : std::max<std::uint64_t>(limit, 1);
    std::vector<char> piece; // generated bodies go out through this, one piece at a time
    if (route.generate)
        piece.resize(static_cast<std::size_t>(std::min<std::uint64_t>(chunk, 1 << 16)));
    bool holding = route.holdAfter.has_value();
    for (std::uint64_t offset = 0, end = 0; sending && offset < limit; offset = end) {
        if (holding && offset >= *route.holdAfter) {
            holding = false;
            std::unique_lock lock(m_mutex);
            m_stopped.wait(lock, [&] { return m_stopping || m_released.count(routePath) > 0; });
            if (m_stopping)
                break;
        } else if (offset > 0 && route.chunkPause.count() > 0 && !pause(route.chunkPause)) {
            break;
        }
        end = std::min(limit, offset + chunk);
        if (holding && offset < *route.holdAfter)
            end = std::min<std::uint64_t>(end, *route.holdAfter);
        if (!route.generate) {
            sending = sendAll(connection, route.body.data() + offset, static_cast<std::size_t>(end - offset));
            continue;
        }
        for (std::uint64_t at = offset; sending && at < end; at += piece.size()) {
            const auto size = static_cast<std::size_t>(std::min<std::uint64_t>(piece.size(), end - at));
            route.generate(at, piece.data(), size);
            sending = sendAll(connection, piece.data(), size);
        }
    }
    // A broken answer ends with a reset, as a dropped connection would.
    if (route.breakAfter) {
        linger abort { 1, 0 };
        ::setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    } else {
        ::shutdown(connection, SHUT_WR);
    }
    ::close(connection);
}

} // namespace tvrn2::test
